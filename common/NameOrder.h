#pragma once

#include <QByteArray>
#include <QString>

namespace tarvello::common {

// The key a name is ordered by: accents dropped and case folded, so that
// "Été" sits with "ete" and "B" with "b". Worth computing once per name.
QString nameSortKey(const QString &name);

// Orders two sort keys as people read names: runs of digits compare by value
// ("img2" before "img10"), everything else by character. Negative, zero or
// positive like QString::compare.
int compareSortKeys(const QString &a, const QString &b);

// A text whose plain order (QString's <) is compareSortKeys' order for the
// names' sort keys, but for numbers equal in value that differ in their
// leading zeros, which it leaves equal. Sorting many names by it costs plain
// text comparisons only.
QString nameCollationKey(const QString &name);

// A total order over names: the sort keys first, then the shown names, then
// the names' bytes, so that two different files never compare equal.
int compareNames(const QString &keyA, const QString &nameA, const QByteArray &bytesA,
                 const QString &keyB, const QString &nameB, const QByteArray &bytesB);

} // namespace tarvello::common

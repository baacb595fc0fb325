#pragma once

#include <QByteArray>
#include <QString>

namespace tarvello::browser {

// The key a name is ordered by: accents dropped and case folded, so that
// "Été" sits with "ete" and "B" with "b". Worth computing once per name.
QString nameSortKey(const QString &name);

// Orders two sort keys as people read names: runs of digits compare by value
// ("img2" before "img10"), everything else by character. Negative, zero or
// positive like QString::compare.
int compareSortKeys(const QString &a, const QString &b);

// A total order over names: the sort keys first, then the shown names, then
// the names' bytes, so that two different files never compare equal.
int compareNames(const QString &keyA, const QString &nameA, const QByteArray &bytesA,
                 const QString &keyB, const QString &nameB, const QByteArray &bytesB);

} // namespace tarvello::browser

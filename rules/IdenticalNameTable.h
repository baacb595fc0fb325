#pragma once

#include <QHash>
#include <QString>

namespace tarvello::rules {

// The new names seen since the last full recomputation, upper-cased, each with
// how many times it came again. Owned by the caller: reset before a full
// recomputation, kept while files are added one batch after another. A hash
// stands in for the original ordered list: names enter it only when no equal
// one is there, so "the first equal entry" is the only one.
class IdenticalNameTable
{
public:
    // A table holding the one empty entry of a reset.
    IdenticalNameTable();

    // Back to the one empty entry with count 0 (an empty new name is therefore
    // numbered from its first occurrence).
    void reset();

    // Enters a new name and returns it, or, when an equal name (ignoring case)
    // came before, the name with that entry's new count before its extension
    // ("IMG.JPG" again gives "IMG_1.JPG", then "IMG_2.JPG"); a numbered name is
    // not entered itself. The count has no limit of its own: the list can hold
    // more identical names than the 16-bit count of old ever allowed.
    QString enter(const QString &name);

    // Number of entries, the empty one included.
    qsizetype size() const { return m_counts.size(); }

private:
    QHash<QString, qint64> m_counts;
};

} // namespace tarvello::rules

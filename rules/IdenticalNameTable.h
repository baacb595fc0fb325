#pragma once

#include "common/LargePages.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

namespace tarvello::rules {

// The new names seen since the last full recomputation, upper-cased, each with
// how many times it came again. Owned by the caller: reset before a full
// recomputation, kept while files are added one batch after another. A hash
// stands in for the original ordered list: names enter it only when no equal
// one is there, so "the first equal entry" is the only one.
//
// A list of a million files puts a million names in here, so the names sit
// end to end in one buffer and the hash holds indexes into the entries: no
// allocation per name, about 40 bytes besides the name's own characters.
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

    // Makes room for that many more names, of 32 characters or fewer, at
    // once: a table grown by doubling writes its memory twice over, and on
    // some systems fresh memory is most of the time of a big list. Room not
    // filled is never touched.
    void reserve(qsizetype names);

    // Number of entries, the empty one included.
    qsizetype size() const { return qsizetype(m_entries.size()); }

private:
    struct Entry {
        qsizetype offset;
        qint64 count;
        quint32 length;
    };
    // The hash beside the index: a probe that meets another name reads no entry.
    struct Slot {
        quint32 hash;
        // The entry's index plus one, 0 for a free slot.
        quint32 entry;
    };
    QStringView key(const Entry &entry) const;
    // The slots, as many as given, filled again from the entries.
    void growSlots(std::size_t count);
    // Makes room for a name of the length after the names entered.
    void growCharacters(std::size_t length);

    struct FreeLarge {
        std::size_t bytes;
        void operator()(char16_t *memory) const noexcept { common::freeLarge(memory, bytes); }
    };
    // The upper-cased names, end to end, in the first m_used of m_room
    // characters. A name is cased into the room after them, where it stays
    // when it is new: no copy of it, and none of the characters is written
    // before it is cased.
    std::unique_ptr<char16_t[], FreeLarge> m_characters;
    std::size_t m_used = 0;
    std::size_t m_room = 0;
    std::vector<Entry, common::LargePageAllocator<Entry>> m_entries;
    // Open addressing, linear probing; a power of two of slots.
    std::vector<Slot, common::LargePageAllocator<Slot>> m_slots;
};

} // namespace tarvello::rules

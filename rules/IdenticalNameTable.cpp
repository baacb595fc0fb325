#include "rules/IdenticalNameTable.h"

#include "common/Vb.h"
#include "common/Zub.h"

#include <algorithm>
#include <cstring>

namespace tarvello::rules {

namespace {

constexpr std::size_t kFirstSlots = 64;

// The last characters of a text, fewer than four, as the low lanes of a word,
// and back: the characters of a whole word are copied as one.
quint64 lastBlock(const char16_t *text, qsizetype count)
{
    quint64 block = 0;
    for (qsizetype j = count - 1; j >= 0; --j)
        block = block << 16 | text[j];
    return block;
}

void storeLastBlock(quint64 block, char16_t *out, qsizetype count)
{
    for (qsizetype j = 0; j < count; ++j, block >>= 16)
        out[j] = char16_t(block);
}

quint64 mixed(quint64 value)
{
    value ^= value >> 32;
    value *= 0xd6e8feb86659fd93ULL;
    value ^= value >> 32;
    return value;
}

// The name upper-cased into out, and its hash. Names are mostly ASCII: those
// are cased four characters to a step, a lower-case letter being the one lane
// of the word that "a" lifts over 0x80 and "z" + 1 does not; any other name is
// cased again by the full rules. The hash reads four cased characters a step.
quint32 upperCasedAndHashed(QStringView name, char16_t *out)
{
    constexpr quint64 kLanes = 0x0001000100010001ULL;
    const char16_t *text = name.utf16();
    const qsizetype size = name.size();
    quint64 wide = 0;
    const auto upperAscii = [&](quint64 block) {
        wide |= block;
        const quint64 lower = (block + kLanes * (0x80 - u'a')) & ~(block + kLanes * (0x80 - u'z' - 1)) & kLanes * 0x80;
        return block - (lower >> 2);
    };
    qsizetype i = 0;
    for (; i + 4 <= size; i += 4) {
        quint64 block;
        std::memcpy(&block, text + i, sizeof block);
        block = upperAscii(block);
        std::memcpy(out + i, &block, sizeof block);
    }
    storeLastBlock(upperAscii(lastBlock(text + i, size - i)), out + i, size - i);
    if (wide & kLanes * 0xff80)
        common::vbUCaseInto(name, reinterpret_cast<QChar *>(out));
    quint64 hash = quint64(size) * 0x9e3779b97f4a7c15ULL;
    for (i = 0; i + 4 <= size; i += 4) {
        quint64 block;
        std::memcpy(&block, out + i, sizeof block);
        hash = mixed(hash ^ block) + 0x9e3779b97f4a7c15ULL;
    }
    return quint32(mixed(hash ^ lastBlock(out + i, size - i)));
}

} // namespace

IdenticalNameTable::IdenticalNameTable()
{
    reset();
}

void IdenticalNameTable::reset()
{
    m_used = 0;
    m_entries.clear();
    // The slots keep their number: a recomputation fills them again with as
    // many names, in memory already there rather than grown anew.
    m_slots.assign(std::max(m_slots.size(), kFirstSlots), Slot{0, 0});
    enter(QString());
}

QStringView IdenticalNameTable::key(const Entry &entry) const
{
    return QStringView(m_characters.get() + entry.offset, entry.length);
}

void IdenticalNameTable::reserve(qsizetype names)
{
    const std::size_t total = m_entries.size() + std::size_t(names);
    m_entries.reserve(total);
    std::size_t count = m_slots.size();
    while ((total + 1) * 2 > count)
        count *= 2;
    if (count != m_slots.size())
        growSlots(count);
    if (m_used + std::size_t(names) * 32 > m_room)
        growCharacters(std::size_t(names) * 32);
}

void IdenticalNameTable::growSlots(std::size_t count)
{
    decltype(m_slots) grown(count, Slot{0, 0});
    const std::size_t mask = grown.size() - 1;
    for (const Slot &old : m_slots) {
        if (old.entry == 0)
            continue;
        std::size_t slot = old.hash & mask;
        while (grown[slot].entry != 0)
            slot = (slot + 1) & mask;
        grown[slot] = old;
    }
    m_slots = std::move(grown);
}

void IdenticalNameTable::growCharacters(std::size_t length)
{
    const std::size_t room = std::max({m_room * 2, m_used + length, std::size_t(4096)});
    std::unique_ptr<char16_t[], FreeLarge> grown(
        static_cast<char16_t *>(common::allocateLarge(room * sizeof(char16_t))), FreeLarge{room * sizeof(char16_t)});
    if (m_used != 0)
        std::memcpy(grown.get(), m_characters.get(), m_used * sizeof(char16_t));
    m_characters = std::move(grown);
    m_room = room;
}

QString IdenticalNameTable::enter(const QString &name)
{
    const std::size_t length = std::size_t(name.size());
    if (m_used + length > m_room)
        growCharacters(length);
    char16_t *upperName = m_characters.get() + m_used;
    const quint32 hash = upperCasedAndHashed(name, upperName);
    const QStringView upper(upperName, name.size());
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; m_slots[slot].entry != 0; slot = (slot + 1) & mask) {
        if (m_slots[slot].hash != hash)
            continue;
        Entry &entry = m_entries[m_slots[slot].entry - 1];
        if (key(entry) != upper)
            continue;
        const qint64 count = ++entry.count;
        QString numbered = common::ZubStrWithoutExt(name) + QLatin1Char('_') + QString::number(count);
        const QString ext = common::ZubGetExtension(name);
        if (!ext.isEmpty())
            numbered += QLatin1Char('.') + ext;
        return numbered;
    }
    m_entries.push_back({qsizetype(m_used), 0, quint32(length)});
    m_used += length;
    m_slots[slot] = Slot{hash, quint32(m_entries.size())};
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        growSlots(m_slots.size() * 2);
    return name;
}

} // namespace tarvello::rules

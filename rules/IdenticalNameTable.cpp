#include "rules/IdenticalNameTable.h"

#include "common/Vb.h"
#include "common/Zub.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace tarvello::rules {

namespace {

constexpr std::size_t kFirstSlots = 64;

quint64 mixed(quint64 value)
{
    value ^= value >> 32;
    value *= 0xd6e8feb86659fd93ULL;
    value ^= value >> 32;
    return value;
}

// The name upper-cased into out, and its hash. Names are mostly ASCII: those
// are cased and hashed in one pass, four characters to a step of the hash.
quint32 upperCasedAndHashed(QStringView name, QChar *out)
{
    const char16_t *text = name.utf16();
    const qsizetype size = name.size();
    char16_t *upper = reinterpret_cast<char16_t *>(out);
    quint16 wide = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i];
        wide |= c;
        upper[i] = c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
    }
    if (wide >= 0x80)
        common::vbUCaseInto(name, out);
    quint64 hash = quint64(size) * 0x9e3779b97f4a7c15ULL;
    qsizetype i = 0;
    for (; i + 4 <= size; i += 4) {
        quint64 block;
        std::memcpy(&block, upper + i, sizeof block);
        hash = mixed(hash ^ block) + 0x9e3779b97f4a7c15ULL;
    }
    quint64 rest = 0;
    std::memcpy(&rest, upper + i, std::size_t(size - i) * sizeof(char16_t));
    return quint32(mixed(hash ^ rest));
}

} // namespace

IdenticalNameTable::IdenticalNameTable()
{
    reset();
}

void IdenticalNameTable::reset()
{
    m_characters.clear();
    m_entries.clear();
    // The slots keep their number: a recomputation fills them again with as
    // many names, in memory already there rather than grown anew.
    m_slots.assign(std::max(m_slots.size(), kFirstSlots), Slot{0, 0});
    enter(QString());
}

QStringView IdenticalNameTable::key(const Entry &entry) const
{
    return QStringView(m_characters.data() + entry.offset, entry.length);
}

void IdenticalNameTable::growSlots()
{
    if ((m_entries.size() + 1) * 2 <= m_slots.size())
        return;
    decltype(m_slots) grown(m_slots.size() * 2, Slot{0, 0});
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

QString IdenticalNameTable::enter(const QString &name)
{
    // The upper-cased name is made aside and joins the buffer only when it is
    // new, copied once rather than the buffer grown and cut back.
    QVarLengthArray<QChar, 64> upperName(name.size());
    const quint32 hash = upperCasedAndHashed(name, upperName.data());
    const QStringView upper(upperName.data(), upperName.size());
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
    const std::size_t offset = m_characters.size();
    m_characters.insert(m_characters.end(), upperName.cbegin(), upperName.cend());
    m_entries.push_back({qsizetype(offset), 0, quint32(name.size())});
    m_slots[slot] = Slot{hash, quint32(m_entries.size())};
    growSlots();
    return name;
}

} // namespace tarvello::rules

#include "rules/IdenticalNameTable.h"

#include "common/Vb.h"
#include "common/Zub.h"

#include <QHashFunctions>
#include <QVarLengthArray>

namespace tarvello::rules {

namespace {

constexpr std::size_t kFirstSlots = 64;

} // namespace

IdenticalNameTable::IdenticalNameTable()
{
    reset();
}

void IdenticalNameTable::reset()
{
    m_characters.clear();
    m_entries.clear();
    m_slots.assign(kFirstSlots, Slot{0, 0});
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
    std::vector<Slot> grown(m_slots.size() * 2, Slot{0, 0});
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
    common::vbUCaseInto(name, upperName.data());
    const QStringView upper(upperName.data(), upperName.size());
    const quint32 hash = quint32(qHash(upper, 0));
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

#include "common/FolderNames.h"

#include <QHashFunctions>

namespace tarvello::common {

FolderNames::FolderNames(std::initializer_list<QByteArrayView> names)
{
    for (const QByteArrayView name : names)
        insert(name);
}

size_t FolderNames::probe(QByteArrayView name, quint32 hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t place = hash & mask;; place = (place + 1) & mask) {
        const qint32 slot = m_slots[place];
        if (slot < 0 || (m_names[size_t(slot)].hash == hash && at(m_names[size_t(slot)]) == name))
            return place;
    }
}

void FolderNames::grow()
{
    m_slots.assign(m_slots.empty() ? 64 : 2 * m_slots.size(), -1);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = 0; i < m_names.size(); ++i) {
        size_t place = m_names[i].hash & mask;
        while (m_slots[place] >= 0)
            place = (place + 1) & mask;
        m_slots[place] = qint32(i);
    }
}

qsizetype FolderNames::insert(QByteArrayView name)
{
    // At most half full: probes stay short.
    if (2 * (m_names.size() + 1) > m_slots.size())
        grow();
    const auto hash = quint32(qHash(name, 0));
    qint32 &slot = m_slots[probe(name, hash)];
    if (slot >= 0)
        return slot;
    slot = qint32(m_names.size());
    m_names.push_back({m_bytes.size(), qint32(name.size()), hash});
    m_bytes.append(name);
    return slot;
}

bool FolderNames::contains(QByteArrayView name) const
{
    return !m_names.empty() && m_slots[probe(name, quint32(qHash(name, 0)))] >= 0;
}

std::optional<QByteArray> FolderNames::caseProbe() const
{
    for (const Name &name : m_names) {
        QByteArray swapped = at(name).toByteArray();
        for (char &c : swapped) {
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        }
        if (swapped == at(name))
            continue;
        if (contains(swapped))
            return std::nullopt;
        return swapped;
    }
    return std::nullopt;
}

} // namespace tarvello::common

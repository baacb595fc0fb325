#include "exif/ExifCache.h"

namespace tarvello::exif {

ExifCache::ExifCache()
{
    clear();
}

const ExifInfo *ExifCache::find(const QString &path) const
{
    const auto at = m_index.constFind(path);
    return at == m_index.cend() ? nullptr : &m_slots.at(*at).info;
}

void ExifCache::append(const QString &path, const ExifInfo &info)
{
    m_slots.append({path, info});
    if (!m_index.contains(path))
        m_index.insert(path, int(m_slots.size()) - 1);
}

void ExifCache::clear()
{
    m_slots = {Slot{}};
    m_index.clear();
}

} // namespace tarvello::exif

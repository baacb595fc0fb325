#pragma once

#include "exif/ExifInfo.h"

#include <QHash>
#include <QList>
#include <QString>

namespace tarvello::exif {

// The photographs' metadata read during the run, so that each is read at
// most once: an ordered list of (path exactly as the caller gave it, record),
// slot 0 unused and entries from slot 1. Paths compare exactly, case included.
class ExifCache
{
public:
    // A cache holding slot 0 only.
    ExifCache();

    // The record cached for the path, or nullptr.
    const ExifInfo *find(const QString &path) const;

    // Appends the path and its record after the last slot. A path already
    // cached keeps its first record, the one a lookup finds.
    void append(const QString &path, const ExifInfo &info);

    // Back to slot 0 only.
    void clear();

    // Number of entries, slot 0 not counted.
    int count() const { return int(m_slots.size()) - 1; }

private:
    struct Slot {
        QString path;
        ExifInfo info;
    };
    QList<Slot> m_slots;
    // Where each path first stands, so that a lookup does not walk the list.
    QHash<QString, int> m_index;
};

} // namespace tarvello::exif

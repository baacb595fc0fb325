#pragma once

#include <QList>
#include <QString>

namespace tarvello::dialogs {

// The machine's physical memory, in bytes (0 when the system does not say).
struct MemoryFigures {
    qint64 total = 0;
    qint64 available = 0;
};

// Read from /proc/meminfo; "available" is what programs can still get
// without swapping, page cache included.
MemoryFigures memoryFigures();

// The mounted volumes that hold files (no pseudo file systems), by mount point.
QStringList diskVolumes();

// The mount point of the volume holding this path.
QString volumeOf(const QString &path);

// The bytes this user may still write on the volume holding the path.
qint64 freeSpace(const QString &path);

} // namespace tarvello::dialogs

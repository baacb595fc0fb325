#include "dialogs/SystemFigures.h"

#include <QFile>
#include <QStorageInfo>

#include <algorithm>

namespace tarvello::dialogs {

namespace {

MemoryFigures parseMemInfo(const QByteArray &text)
{
    MemoryFigures figures;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        // Values are in kibibytes ("MemTotal:  16318332 kB").
        const qint64 bytes = parts.at(1).toLongLong() * 1024;
        if (parts.at(0) == "MemTotal:")
            figures.total = bytes;
        else if (parts.at(0) == "MemAvailable:")
            figures.available = bytes;
    }
    return figures;
}

} // namespace

MemoryFigures memoryFigures()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report no size, so they are read whole.
    return parseMemInfo(file.readAll());
}

QStringList diskVolumes()
{
    QStringList volumes;
    const QList<QStorageInfo> mounted = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : mounted) {
        if (volume.isValid() && volume.isReady() && volume.bytesTotal() > 0 && !volumes.contains(volume.rootPath()))
            volumes.append(volume.rootPath());
    }
    std::sort(volumes.begin(), volumes.end());
    return volumes;
}

QString volumeOf(const QString &path)
{
    return QStorageInfo(path).rootPath();
}

qint64 freeSpace(const QString &path)
{
    const QStorageInfo volume(path);
    return volume.isValid() ? volume.bytesAvailable() : 0;
}

} // namespace tarvello::dialogs

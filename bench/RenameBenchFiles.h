#pragma once

#include "filelist/FileList.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

// The files the rename benchmarks work on, and the floor they are measured against.
namespace tarvello::bench {

using filelist::FileEntry;

constexpr int kFiles = 100000;

// 100,000 empty files IMG_000000.JPG... in one folder or spread over several,
// as list entries without new names.
inline QList<FileEntry> makeFiles(const QString &root, int folders)
{
    QList<FileEntry> entries;
    entries.reserve(kFiles);
    const int perFolder = kFiles / folders;
    for (int f = 0; f < folders; ++f) {
        const QString folder = folders == 1 ? root : root + QStringLiteral("/folder%1").arg(f, 3, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        for (int i = 0; i < perFolder; ++i) {
            const QString name = QStringLiteral("IMG_%1.JPG").arg(f * perFolder + i, 6, 10, QLatin1Char('0'));
            const int fd = ::open(QFile::encodeName(folder + QLatin1Char('/') + name).constData(), O_WRONLY | O_CREAT, 0644);
            if (fd >= 0)
                ::close(fd);
            entries.append({name, folder, QString()});
        }
    }
    return entries;
}

// 200,000 bare renames: every file to a side name and back.
inline double floorSeconds(const QList<FileEntry> &entries)
{
    QList<QByteArray> paths;
    paths.reserve(entries.size());
    for (const FileEntry &entry : entries)
        paths.append(QFile::encodeName(entry.folder + QLatin1Char('/') + entry.name));
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &path : paths)
        ::rename(path.constData(), (path + ".x").constData());
    for (const QByteArray &path : paths)
        ::rename((path + ".x").constData(), path.constData());
    return clock.nsecsElapsed() / 1e9;
}

// Runs a measure in a new folder under the one given on the command line
// (default: the temporary folder), for one folder and then 100 folders.
inline int measureBothLayouts(int argc, char **argv, void (*measure)(const QString &base, int folders))
{
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    std::printf("working under %s\n", qPrintable(base));
    measure(base, 1);
    measure(base, 100);
    return 0;
}

} // namespace tarvello::bench

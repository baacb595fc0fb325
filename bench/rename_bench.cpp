// Renames 100,000 files with the rule "*_###", in one folder and then in 100
// folders of 1,000, through the whole operation (plan, journal, both phases,
// undo record), and sets it beside the floor: 200,000 bare rename() calls on
// the same files in the same run.
//
//   rename_bench [FOLDER]    works in a new folder under FOLDER (default: the
//                            temporary folder); give a folder on the file
//                            system you want measured.
//
// The new names come from a small local stand-in for the rule engine's "*_###"
// (base name, "_", the counter padded to three digits, the extension).

#include "files/RenameOperation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

using namespace tarvello::files;

namespace {

constexpr int kFiles = 100000;

QString starCounterName(const QString &name, qint64 counter)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return base + QLatin1Char('_') + QStringLiteral("%1").arg(counter, 3, 10, QLatin1Char('0')) + extension;
}

QList<FileEntry> makeFiles(const QString &root, int folders)
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
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries[i].newName = starCounterName(entries[i].name, i + 1);
    return entries;
}

// 200,000 bare renames: every file to a side name and back.
double floorSeconds(const QList<FileEntry> &entries)
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

void measure(const QString &base, int folders)
{
    QTemporaryDir work(base + QStringLiteral("/tarvello-bench-XXXXXX"));
    const QString root = work.path() + QStringLiteral("/files");
    const QString settings = work.path() + QStringLiteral("/settings");
    const QList<FileEntry> entries = makeFiles(root, folders);
    const double before = floorSeconds(entries);

    QElapsedTimer clock;
    clock.start();
    FileOps fs;
    const RenamePlan plan = planRename(entries, fs);
    const double planned = clock.nsecsElapsed() / 1e9;
    RenameObserver quiet;
    const RenameRun run = runRename(plan, settings, quiet, fs);
    const double total = clock.nsecsElapsed() / 1e9;

    // The floor again on the renamed files, so that a disk warming up or
    // slowing down during the run shows.
    QList<FileEntry> renamed = entries;
    for (FileEntry &entry : renamed)
        entry.name = entry.newName;
    const double after = floorSeconds(renamed);
    const double floor = (before + after) / 2;
    std::printf("%d files in %d folder(s): renamed %d, held back %d, failed %lld\n", kFiles, folders, run.report.renamed,
                plan.conflictCount(), static_cast<long long>(run.report.failures.size()));
    std::printf("  floor: 200000 bare rename() calls  %7.3f s  (%8.0f calls/s, %8.0f files/s at two calls a file;"
                " %.3f s before, %.3f s after)\n",
                floor, 200000 / floor, kFiles / floor, before, after);
    std::printf("  rename operation                   %7.3f s  (%8.0f files/s; plan %.3f s, journal + phases + undo record %.3f s)\n",
                total, kFiles / total, planned, total - planned);
    std::printf("  operation / floor: %.2f (goal: at most 1.50)\n", total / floor);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    std::printf("working under %s\n", qPrintable(base));
    measure(base, 1);
    measure(base, 100);
    return 0;
}

// Whole-process time of `tarvello-cli rename --rule "*_r"` against
// rename_floor, the minimal C program doing the same two phases of renameat2
// calls that never replace a file, run by hand:
//
//   cli_rename_bench [FOLDER [FILES]]   FILES empty files (default 50,000) in
//                                       one new folder under FOLDER (default:
//                                       the temporary folder); give a tmpfs
//                                       or ext4 folder to measure that one.
//
// Best of three by wall time, the two programs taking turns on fresh files;
// the program's settings folder (journal, undo record) is a temporary one.
// The floor never waits for the disk; tarvello-cli waits a few times a run
// (journal, its phase marks, undo record), and each wait writes out the
// renames made so far, which shows on a disk file system, not on tmpfs.

#include "ProcessRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

using tarvello::bench::Run;
using tarvello::bench::runOnce;

namespace {

// The files IMG_000000.JPG... afresh in the folder, and their list.
bool makeFiles(const QString &folder, const QString &list, int count)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QFile listFile(list);
    if (!listFile.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < count; ++i) {
        const QByteArray path = QFile::encodeName(folder + QStringLiteral("/IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0')));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
        listFile.write(path + '\n');
    }
    // The new files reach the disk before the run: neither program pays for
    // writing them out.
    ::sync();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString base = arguments.size() > 1 ? arguments.at(1) : QDir::tempPath();
    const int count = arguments.size() > 2 ? arguments.at(2).toInt() : 50000;
    QTemporaryDir work(base + QStringLiteral("/tarvello-bench-XXXXXX"));
    if (!work.isValid() || count <= 0)
        return 1;
    const QString folder = work.filePath(QStringLiteral("files"));
    const QString list = work.filePath(QStringLiteral("list"));
    const QByteArray settings = "XDG_CONFIG_HOME=" + QFile::encodeName(work.filePath(QStringLiteral("settings")));
    const QString binaries = QCoreApplication::applicationDirPath();
    const QByteArray cli = QFile::encodeName(binaries + QStringLiteral("/tarvello-cli"));
    const QByteArray floor = QFile::encodeName(binaries + QStringLiteral("/rename_floor"));
    Run ours;
    Run theirs;
    for (int round = 0; round < 3; ++round) {
        if (!makeFiles(folder, list, count))
            return 1;
        const Run two = runOnce({floor}, list);
        if (!makeFiles(folder, list, count))
            return 1;
        const Run one = runOnce({cli, "rename", "--rule", "*_r", "-"}, list, {settings});
        if (one.exitCode != 0 || two.exitCode != 0)
            std::fprintf(stderr, "exit codes: tarvello-cli %d, rename_floor %d\n", one.exitCode, two.exitCode);
        if (round == 0 || one.seconds < ours.seconds)
            ours = one;
        if (round == 0 || two.seconds < theirs.seconds)
            theirs = two;
    }
    std::printf("%d files under %s: tarvello-cli rename %6.3f s (processor %5.3f s) %4.0f MB, floor %6.3f s "
                "(processor %5.3f s): ratio %.2f\n",
                count, qPrintable(base), ours.seconds, ours.cpuSeconds, ours.peakMb, theirs.seconds, theirs.cpuSeconds,
                ours.seconds / theirs.seconds);
    return 0;
}

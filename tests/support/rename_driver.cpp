// Runs the program's rename machinery, so that tests can kill a real process
// in the middle of a rename, an undo or a recovery. It creates no file of its
// own beyond what the operations themselves write.
//
//   rename_driver [die=OP:K] run SETTINGS FOLDER prefix|rotate [PAUSE_MS]
//       every file of FOLDER, in name order, gets "n_" + its name (prefix)
//       or the next file's name (rotate, the last one the first one's);
//       PAUSE_MS is a wait between the two phases.
//   rename_driver [die=OP:K] pairs SETTINGS OLD NEW [OLD NEW ...]
//       the given paths get the given new paths.
//   rename_driver [die=OP:K] undo SETTINGS
//   rename_driver [die=OP:K] recover SETTINGS
//
// With die=OP:K the process kills itself with SIGKILL as it is about to make
// its K-th file operation of the kind OP (rename, copy or unlink), as a kill
// from outside at that moment would.
//
// Prints "started" just before the operation begins, then, with the
// microseconds since, "between" when the second phase begins and "done".

#include "rename/RenameOperation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace tarvello::filelist;
using namespace tarvello::rename;

namespace {

class PacedObserver : public RenameObserver
{
public:
    PacedObserver(int pauseMs, const QElapsedTimer &clock) : m_pauseMs(pauseMs), m_clock(clock) {}

    void progress(int step, int total) override
    {
        if (step == total / 2 + 1) {
            std::printf("between %lld\n", m_clock.nsecsElapsed() / 1000);
            std::fflush(stdout);
            QThread::msleep(m_pauseMs);
        }
    }

private:
    int m_pauseMs;
    const QElapsedTimer &m_clock;
};

// File operations that end the process at the chosen one.
class DyingOps : public FileOps
{
public:
    void dieAt(const QString &spec)
    {
        m_kind = spec.section(QLatin1Char(':'), 0, 0);
        m_at = spec.section(QLatin1Char(':'), 1).toInt();
    }

    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        step(QStringLiteral("rename"));
        return FileOps::renameNoReplace(from, to);
    }
    int copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost = nullptr) override
    {
        step(QStringLiteral("copy"));
        return FileOps::copyNoReplace(from, to, lost);
    }
    int removeFile(const QByteArray &path) override
    {
        step(QStringLiteral("unlink"));
        return FileOps::removeFile(path);
    }

private:
    void step(const QString &kind)
    {
        if (kind == m_kind && ++m_count == m_at)
            ::raise(SIGKILL);
    }

    QString m_kind;
    int m_at = 0;
    int m_count = 0;
};

void started()
{
    std::printf("started\n");
    std::fflush(stdout);
}

int runPlan(const RenamePlan &plan, const QString &settings, int pauseMs, FileOps &fs)
{
    QElapsedTimer clock;
    clock.start();
    PacedObserver observer(pauseMs, clock);
    started();
    const RenameRun result = runRename(plan, settings, observer, fs);
    std::printf("done %lld\n", clock.nsecsElapsed() / 1000);
    return result.journalError == 0 && result.report.failures.isEmpty() ? 0 : 1;
}

int run(const QStringList &args, FileOps &fs)
{
    const QString folder = args.value(1);
    const bool rotate = args.value(2) == QLatin1String("rotate");
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QList<FileEntry> entries;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString newName = rotate ? names[(i + 1) % names.size()] : QStringLiteral("n_") + names[i];
        entries.append({names[i], folder, newName});
    }
    return runPlan(planRename(entries, fs), args.value(0), args.value(3).toInt(), fs);
}

int pairs(const QStringList &args, FileOps &fs)
{
    QList<PathPair> way;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2)
        way.append({QFile::encodeName(args[i]), QFile::encodeName(args[i + 1]), false, Conflict::None});
    return runPlan(planRename(way, fs), args.value(0), 0, fs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    DyingOps fs;
    if (!args.isEmpty() && args.first().startsWith(QLatin1String("die=")))
        fs.dieAt(args.takeFirst().mid(4));
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("run") && args.size() >= 3)
        return run(args, fs);
    if (command == QLatin1String("pairs") && args.size() >= 3 && args.size() % 2 == 1)
        return pairs(args, fs);
    if (command == QLatin1String("undo") && args.size() == 1) {
        RenameObserver quiet;
        started();
        const UndoReport undo = undoLastRename(args[0], quiet, fs);
        return undo.journalError == 0 && undo.report.failures.isEmpty() ? 0 : 1;
    }
    if (command == QLatin1String("recover") && args.size() == 1) {
        started();
        return recoverInterruptedRename(args[0], fs).complete() ? 0 : 1;
    }
    std::fprintf(stderr, "usage: rename_driver [die=OP:K] run SETTINGS FOLDER prefix|rotate [PAUSE_MS]\n"
                         "       rename_driver [die=OP:K] pairs SETTINGS OLD NEW [OLD NEW ...]\n"
                         "       rename_driver [die=OP:K] undo SETTINGS\n"
                         "       rename_driver [die=OP:K] recover SETTINGS\n");
    return 2;
}

// Runs the program's rename machinery, so that tests can kill a real process
// in the middle of a rename. It creates no file of its own beyond what the
// operation itself writes.
//
//   rename_driver run SETTINGS FOLDER PAUSE_MS
//       every file of FOLDER gets "n_" + its name; PAUSE_MS is a wait
//       between the two phases.
//   rename_driver [die=OP:K] pairs SETTINGS OLD NEW [OLD NEW ...]
//       the given paths get the given new paths.
//
// With die=OP:K the process kills itself with SIGKILL as it is about to make
// its K-th file operation of the kind OP (rename, copy or unlink), as a kill
// from outside at that moment would.
//
// Prints "started" just before the operation begins, then "between" when the
// second phase begins.

#include "rename/RenameOperation.h"

#include <QCoreApplication>
#include <QDir>
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
    explicit PacedObserver(int pauseMs) : m_pauseMs(pauseMs) {}

    void progress(int step, int total) override
    {
        if (step == total / 2 + 1) {
            std::printf("between\n");
            std::fflush(stdout);
            QThread::msleep(m_pauseMs);
        }
    }

private:
    int m_pauseMs;
};

// File operations that end the process at the chosen one.
class DyingOps : public FileOps
{
public:
    void dieAt(const QString &operationAndCount)
    {
        m_kind = operationAndCount.section(QLatin1Char(':'), 0, 0);
        m_at = operationAndCount.section(QLatin1Char(':'), 1).toInt();
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

int runPlan(const RenamePlan &plan, const QString &settings, int pauseMs, FileOps &fs)
{
    PacedObserver observer(pauseMs);
    std::printf("started\n");
    std::fflush(stdout);
    const RenameRun result = runRename(plan, settings, observer, fs);
    return result.journalError == 0 && result.report.failures.isEmpty() ? 0 : 1;
}

int run(const QStringList &args, FileOps &fs)
{
    const QString folder = args.value(1);
    QList<FileEntry> entries;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        entries.append({name, folder, QStringLiteral("n_") + name});
    return runPlan(planRename(entries, fs), args.value(0), args.value(2).toInt(), fs);
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
    std::fprintf(stderr, "usage: rename_driver run SETTINGS FOLDER PAUSE_MS\n"
                         "       rename_driver [die=OP:K] pairs SETTINGS OLD NEW [OLD NEW ...]\n");
    return 2;
}

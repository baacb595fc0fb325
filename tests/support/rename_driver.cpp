// Runs the program's rename machinery in a process of its own, so that tests
// can kill a real process in the middle of a rename. It creates no file of
// its own beyond what the operation itself writes.
//
//   rename_driver [die=OP:K] [pause=MS] SETTINGS OLD NEW [OLD NEW ...]
//
// Each OLD path gets its NEW path. With die=OP:K the process kills itself
// with SIGKILL as it is about to make its K-th file operation of the kind OP
// (rename, copy or unlink), as a kill from outside at that moment would. It
// prints "between" as the second phase begins, where it waits MS milliseconds.

#include "rename/RenameOperation.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace tarvello::rename;

namespace {

class PacedObserver : public RenameObserver
{
public:
    int pauseMs = 0;

    void progress(int step, int total) override
    {
        if (step == total / 2 + 1) {
            std::printf("between\n");
            std::fflush(stdout);
            QThread::msleep(pauseMs);
        }
    }
};

// File operations that end the process at the chosen one.
class DyingOps : public FileOps
{
public:
    QString kind;
    int at = 0;

    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        step("rename");
        return FileOps::renameNoReplace(from, to);
    }
    int copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost = nullptr) override
    {
        step("copy");
        return FileOps::copyNoReplace(from, to, lost);
    }
    int removeFile(const QByteArray &path) override
    {
        step("unlink");
        return FileOps::removeFile(path);
    }

private:
    void step(const char *operation)
    {
        if (kind == QLatin1String(operation) && ++m_count == at)
            ::raise(SIGKILL);
    }

    int m_count = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    DyingOps fs;
    PacedObserver observer;
    if (!args.isEmpty() && args.first().startsWith(QLatin1String("die="))) {
        const QString die = args.takeFirst().mid(4);
        fs.kind = die.section(QLatin1Char(':'), 0, 0);
        fs.at = die.section(QLatin1Char(':'), 1).toInt();
    }
    if (!args.isEmpty() && args.first().startsWith(QLatin1String("pause=")))
        observer.pauseMs = args.takeFirst().mid(6).toInt();
    if (args.size() < 3 || args.size() % 2 == 0) {
        std::fprintf(stderr, "usage: rename_driver [die=OP:K] [pause=MS] SETTINGS OLD NEW [OLD NEW ...]\n");
        return 2;
    }
    QList<PathPair> pairs;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2)
        pairs.append({QFile::encodeName(args[i]), QFile::encodeName(args[i + 1]), false, Conflict::None});
    const RenamePlan plan = planRename(pairs, fs);
    const RenameRun result = runRename(plan, args.first(), observer, fs);
    return result.journalError == 0 && result.report.failures.isEmpty() ? 0 : 1;
}

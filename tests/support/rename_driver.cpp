// Runs the program's rename machinery over the files of one folder, so that
// tests can kill a real process in the middle of a rename. It creates no file
// of its own beyond what the rename operation itself writes.
//
//   rename_driver run SETTINGS FOLDER prefix|rotate [PAUSE_MS]
//       every file of FOLDER, in name order, gets "n_" + its name (prefix)
//       or the next file's name (rotate, the last one the first one's);
//       PAUSE_MS is a wait between the two phases.
//   rename_driver recover SETTINGS
//
// Prints "started" just before the operation begins, then, with the
// microseconds since, "between" when the second phase begins and "done".

#include "files/RenameOperation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

using namespace tarvello::files;

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

void started()
{
    std::printf("started\n");
    std::fflush(stdout);
}

int run(const QStringList &args)
{
    const QString settings = args.value(0);
    const QString folder = args.value(1);
    const bool rotate = args.value(2) == QLatin1String("rotate");
    const int pauseMs = args.value(3).toInt();
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QList<FileEntry> entries;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString newName = rotate ? names[(i + 1) % names.size()] : QStringLiteral("n_") + names[i];
        entries.append({names[i], folder, newName});
    }
    FileOps fs;
    const RenamePlan plan = planRename(entries, fs);
    QElapsedTimer clock;
    clock.start();
    PacedObserver observer(pauseMs, clock);
    started();
    const RenameRun result = runRename(plan, settings, observer, fs);
    std::printf("done %lld\n", clock.nsecsElapsed() / 1000);
    return result.journalError == 0 && result.report.failures.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("run") && args.size() >= 3)
        return run(args);
    if (command == QLatin1String("recover") && args.size() == 1) {
        FileOps fs;
        started();
        const RecoveryReport report = recoverInterruptedRename(args[0], fs);
        return report.leftAtTemporary.isEmpty() ? 0 : 1;
    }
    std::fprintf(stderr, "usage: rename_driver run SETTINGS FOLDER prefix|rotate [PAUSE_MS]\n"
                         "       rename_driver recover SETTINGS\n");
    return 2;
}

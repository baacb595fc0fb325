// The main window at a large list, driven through its own buttons as a user
// clicks them: the folder view shows the folder of the files, "add all" puts
// them in the list, a recomputation gives them the names of the rule
// "*_###", cmdRenommer renames them and cmdDefaire undoes it. For each step:
// its time, the longest time the window did not answer (the longest gap
// between two ticks of a 50 ms timer, until the window is quiet again after
// the step) and the peak memory of the whole process meanwhile (VmHWM, reset
// before the step).
//
//   window_bench [FILES = 100000] [FOLDER]          the steps above, in one folder
//   window_bench --add [FILES = 100000] [FOLDER]    only the add, in one folder
//   window_bench --tree [FILES = 100000] [FOLDER]   the hierarchy add of FILES
//       files in folders of 1,000, beside `find` on the same tree
//
// Works in a new folder under FOLDER (default: the temporary folder); runs on
// the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "common/LargePages.h"
#include "mainwindow/frmMain.h"

#include "ProcessRun.h"
#include "WorkFolder.h"
#include "YesBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

using namespace tarvello;
using tarvello::bench::YesBox;

namespace {

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// The longest gap between two ticks of a 50 ms timer of the window's thread:
// by the clock, and by the processor time the thread used meanwhile, which
// is what the gap would be on a machine with nothing else to run.
class PauseMeter
{
public:
    PauseMeter()
    {
        m_ping.setInterval(50);
        m_ping.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ping, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest = 0;
        m_longestCpu = 0;
        m_since.start();
        m_cpu = threadCpuSeconds();
        m_ping.start();
    }
    void tick()
    {
        m_longest = std::max(m_longest, m_since.restart());
        const double cpu = threadCpuSeconds();
        m_longestCpu = std::max(m_longestCpu, cpu - m_cpu);
        m_cpu = cpu;
    }
    void stop()
    {
        tick();
        m_ping.stop();
    }
    qint64 longest() const { return m_longest; }
    qint64 longestCpu() const { return qint64(m_longestCpu * 1000); }

private:
    QTimer m_ping;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
    double m_cpu = 0;
    double m_longestCpu = 0;
};

// Runs the event loop until done() or the timeout; false on the timeout.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs the event loop for ms milliseconds.
void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    waitFor([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// Times a step that a click starts, then lets the window finish what the step
// left queued (the folder view's new listing) before the pause and peak are
// read. Returns the processor time of the step.
double step(const char *name, int files, PauseMeter &meter, mainwindow::frmMain &window, const std::function<void()> &click)
{
    resetPeakMemory();
    meter.start();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processCpuSeconds();
    click();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpu = processCpuSeconds() - cpuBefore;
    waitFor([&] { return !window.ListView1().isListing(); }, 600000);
    settle(1500);
    meter.stop();
    const qint64 peak = statusKb("VmHWM");
    std::printf("  %-10s %8.3f s (processor %7.3f s)  longest pause %6lld ms (processor %5lld ms)  peak %5lld MB "
                "(%4lld bytes an entry)  list %d\n",
                name, seconds, cpu, static_cast<long long>(meter.longest()), static_cast<long long>(meter.longestCpu()),
                static_cast<long long>(peak / 1024), static_cast<long long>(peak * 1024 / std::max(1, files)),
                window.fileList().count());
    std::fflush(stdout);
    return cpu;
}

void makeFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        ::close(fd);
}

QString makeFolder(const QString &root, int files)
{
    QDir().mkpath(root);
    const QByteArray base = QFile::encodeName(root);
    for (int i = 0; i < files; ++i)
        makeFile(base + QByteArray("/IMG_") + QByteArray::number(i).rightJustified(7, '0') + ".JPG");
    return root;
}

QString makeTree(const QString &root, int files)
{
    for (int f = 0; f * 1000 < files; ++f) {
        const QString folder = root + QStringLiteral("/d%1/sub%2").arg(f / 10, 3, 10, QLatin1Char('0')).arg(f % 10);
        QDir().mkpath(folder);
        const QByteArray base = QFile::encodeName(folder);
        for (int i = f * 1000; i < std::min(files, (f + 1) * 1000); ++i)
            makeFile(base + QByteArray("/IMG_") + QByteArray::number(i).rightJustified(7, '0') + ".JPG");
    }
    return root;
}

struct Window {
    explicit Window(const QString &work)
    {
        context.programFolder = QCoreApplication::applicationDirPath();
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(QStringLiteral("Français"));
        context.settingsFolder = work + QStringLiteral("/settings");
        QDir().mkpath(context.settingsFolder);
        context.settings.General_AfficherImageBouton = 0;
        window.emplace(context, box);
        window->show();
        QCoreApplication::processEvents();
    }
    void open(const QString &folder)
    {
        window->setCurrentPath(folder);
        settle(200);
        waitFor([&] { return !window->ListView1().isListing(); }, 600000);
        settle(200);
    }

    app::AppContext context;
    YesBox box;
    std::optional<mainwindow::frmMain> window;
};

void measureFolder(const QString &work, int files, bool addOnly)
{
    const QString folder = makeFolder(work + QStringLiteral("/files"), files);
    std::printf("%d files in one folder (%lld MB before the window)\n", files,
                static_cast<long long>(statusKb("VmRSS") / 1024));
    Window w(work);
    w.open(folder);
    std::printf("  the folder view shows %d files (%lld MB)\n", w.window->ListView1().count(),
                static_cast<long long>(statusKb("VmRSS") / 1024));
    mainwindow::frmMain &window = *w.window;
    PauseMeter meter;
    step("add", files, meter, window, [&] { window.controls().cmdAddAll->click(); });
    if (addOnly)
        return;
    window.controls().cboRenommer->setCurrentText(QStringLiteral("*_r"));
    step("recompute", files, meter, window, [&] { window.update_names(); });
    const double renamed = step("rename", files, meter, window, [&] { window.controls().cmdRenommer->click(); });
    const double undone = step("undo", files, meter, window, [&] { window.controls().cmdDefaire->click(); });
    std::printf("  %d messages\n", w.box.shown);
    w.window.reset();

    // The command line on the same files, back under their first names.
    const QString list = work + QStringLiteral("/list");
    QFile listFile(list);
    if (!listFile.open(QIODevice::WriteOnly))
        return;
    const QByteArray base = QFile::encodeName(folder);
    for (int i = 0; i < files; ++i)
        listFile.write(base + QByteArray("/IMG_") + QByteArray::number(i).rightJustified(7, '0') + ".JPG\n");
    listFile.close();
    const QByteArray settings = "XDG_CONFIG_HOME=" + QFile::encodeName(work + QStringLiteral("/cli"));
    const QByteArray cli = QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/tarvello-cli"));
    const bench::Run rename = bench::runOnce({cli, "rename", "--rule", "*_r", "-"}, list, {settings});
    const bench::Run undo = bench::runOnce({cli, "undo"}, QStringLiteral("/dev/null"), {settings});
    std::printf("  tarvello-cli rename %8.3f s (processor %7.3f s, exit %d), undo %8.3f s (processor %7.3f s, exit %d)\n",
                rename.seconds, rename.cpuSeconds, rename.exitCode, undo.seconds, undo.cpuSeconds, undo.exitCode);
    std::printf("  window / command line in processor time: rename %.2f, undo %.2f (goal: at most 1.5)\n",
                renamed / rename.cpuSeconds, undone / undo.cpuSeconds);
}

void measureTree(const QString &work, int files)
{
    const QString root = makeTree(work + QStringLiteral("/tree"), files);
    // Twice: the first warms the caches the window finds warm too.
    const std::vector<QByteArray> find = {"find", QFile::encodeName(root), "-type", "f"};
    bench::runOnce(find, QStringLiteral("/dev/null"));
    const bench::Run found = bench::runOnce(find, QStringLiteral("/dev/null"));
    const double findCpu = found.cpuSeconds;
    std::printf("%d files in %d folders\n  find       %8.3f s (processor %7.3f s)\n", files, (files + 999) / 1000,
                found.seconds, findCpu);
    Window w(work);
    w.open(root);
    mainwindow::frmMain &window = *w.window;
    window.controls().cboRenommer->setCurrentText(QStringLiteral("*_###"));
    PauseMeter meter;
    const double added = step("hierarchy", files, meter, window, [&] { window.controls().mnuAddHieriachy->trigger(); });
    std::printf("  hierarchy / find in processor time: %.2f (goal: at most 3)\n", added / findCpu);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tarvello::common::shareOneHeap();
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool tree = args.removeAll(QStringLiteral("--tree")) > 0;
    const bool addOnly = args.removeAll(QStringLiteral("--add")) > 0;
    const int files = args.isEmpty() ? 100000 : args.takeFirst().toInt();
    const QString base = args.isEmpty() ? QDir::tempPath() : args.takeFirst();
    QTemporaryDir work(base + QStringLiteral("/tarvello-bench-XXXXXX"));
    const QString folder = tarvello::bench::workFolder(work);
    std::printf("working under %s\n", qPrintable(folder));
    if (tree)
        measureTree(folder, files);
    else
        measureFolder(folder, files, addOnly);
    return 0;
}

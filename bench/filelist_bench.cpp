// The file list at its design size, run by hand:
//   filelist_bench [folders = 1000] [files per folder = 100]
// Builds a tree of folders x files in a temporary folder, lists it with find,
// then adds the whole hierarchy through the main window (count, listing, new
// names with the rule *_###) and recomputes every name; prints each with its
// files per second, and the add's cost beside find's.

#include "app/AppContext.h"
#include "common/LargePages.h"
#include "filelist/FolderScan.h"
#include "lang/MsgBox.h"
#include "mainwindow/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

using namespace tarvello;

namespace {

// Answers Yes to every question and shows nothing.
class YesBox : public lang::MsgBox
{
public:
    int KVvrMesgBox(const QString &, int, const QString &, int, const QString &) override { return lang::MsgAnswer::Yes; }
    int result() const override { return lang::MsgAnswer::Yes; }
    void systemMessage(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};

bool makeTree(const QString &root, int folders, int perFolder)
{
    // Ten top folders, the rest spread below them: a hierarchy, not a flat list.
    for (int f = 0; f < folders; ++f) {
        const QString folder = root + QStringLiteral("/top%1/dir%2").arg(f % 10).arg(f, 4, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            return false;
        const QByteArray base = QFile::encodeName(folder) + "/IMG_";
        for (int i = 0; i < perFolder; ++i) {
            const QByteArray path = base + QByteArray::number(f * perFolder + i).rightJustified(6, '0') + ".JPG";
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
            if (fd < 0)
                return false;
            ::close(fd);
        }
    }
    return true;
}

// The best of three runs of find over the tree, in milliseconds.
double findMs(const QString &root)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        find.start(QStringLiteral("find"), {root});
        find.waitForFinished(-1);
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

void report(const char *what, int files, double ms)
{
    std::printf("%-58s %7d files %9.1f ms %11.0f files/s\n", what, files, ms, files / std::max(ms, 0.001) * 1000);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tarvello::common::shareOneHeap();
    QApplication app(argc, argv);
    const int folders = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int perFolder = argc > 2 ? std::atoi(argv[2]) : 100;
    const int total = folders * perFolder;

    QTemporaryDir dir;
    if (!dir.isValid() || !makeTree(dir.path(), folders, perFolder)) {
        std::fprintf(stderr, "could not build the tree\n");
        return 1;
    }
    std::printf("tree: %d folders of %d files, %d files in all\n", folders, perFolder, total);
    // A tree just written is read twice by an add: a folder changed in the
    // last two seconds cannot be trusted to show a later change. Real photo
    // folders are older than that.
    QThread::sleep(3);

    const double find = findMs(dir.path());
    report("find over the tree (best of 3)", total, find);

    // The scan alone, as the hierarchy add makes it: the count, then the
    // collection from the folders the count read; best of three, as find.
    const filelist::DisplayFilter filter(QStringLiteral("*.*"));
    double count = 1e9;
    double collect = 1e9;
    int counted = 0;
    int collected = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        filelist::FolderListings listings;
        counted = filelist::countFiles(dir.path(), true, filter, [](int) { return true; }, &listings).files;
        const double countMs = clock.nsecsElapsed() / 1e6;
        clock.restart();
        filelist::ListedFiles listed(filelist::ListedFiles::Match::Name);
        collected = int(filelist::collectFiles({dir.path()}, filter, listed, [](int) { return true; }, &listings).files.size());
        if (countMs + clock.nsecsElapsed() / 1e6 < count + collect) {
            collect = clock.nsecsElapsed() / 1e6;
            count = countMs;
        }
    }
    report("countFiles (best of 3)", counted, count);
    report("collectFiles, breadth first in name order (same run)", collected, collect);
    std::printf("%-58s %7.2f x find (goal: 3 at most)\n", "count and collection against find", (count + collect) / find);

    app::AppContext context;
    context.programFolder = QCoreApplication::applicationDirPath();
    context.language.setProgramFolder(context.programFolder);
    context.language.setLanguage(QStringLiteral("Français"));
    YesBox box;
    mainwindow::frmMain window(context, box);
    window.show();
    window.setCurrentPath(dir.path());
    window.controls().cboRenommer->setEditText(QStringLiteral("*_###"));
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    window.controls().mnuAddHieriachy->trigger();
    const double add = clock.nsecsElapsed() / 1e6;
    report("hierarchy add: count, list, names *_###, into the list", window.fileList().count(), add);
    std::printf("%-58s %7.2f x find\n", "whole hierarchy add against find", add / find);

    clock.restart();
    window.update_names();
    const double update = clock.nsecsElapsed() / 1e6;
    report("update_names over the whole list (goal: under 1500 ms)", window.fileList().count(), update);
    std::printf("last entry: %s -> %s\n", qPrintable(window.fileList().entries().last().name),
                qPrintable(window.fileList().entries().last().newName));
    return window.fileList().count() == total ? 0 : 1;
}

// Lists, filters and sorts a folder of many files in the file view, as the
// main window shows it, and reports how long each step takes and the longest
// time the window could not answer meanwhile.
//   browser_bench [files = 100000]
#include "browser/FileView.h"
#include "browser/FolderFilesModel.h"
#include "browser/FolderTree.h"
#include "browser/FolderTreeModel.h"
#include "lang/Language.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

using namespace tarvello;

namespace {

// The longest gap between two turns of the event loop while it runs.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.restart());
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool makeFiles(const QString &folder, int count)
{
    for (int n = 0; n < count; ++n) {
        const QString name = n % 10 == 0 ? QStringLiteral("doc_%1.txt").arg(n)
                                         : QStringLiteral("IMG_%1.JPG").arg(n, 6, 10, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(folder + QLatin1Char('/') + name).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // Sparse sizes: every file a different size without writing them.
        if (fd < 0 || ::ftruncate(fd, (n * 7919) % 5000000) != 0 || ::close(fd) != 0)
            return false;
    }
    return true;
}

void report(const char *what, qint64 ms, const QString &detail = {})
{
    std::printf("  %-42s %7lld ms  %s\n", what, static_cast<long long>(ms), qPrintable(detail));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 100000;

    QTemporaryDir dir;
    QElapsedTimer clock;
    clock.start();
    if (!dir.isValid() || !makeFiles(dir.path(), files)) {
        std::fprintf(stderr, "cannot create the files in %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("Folder of %d files (%d .JPG, %d .txt), made in %lld ms\n", files, files - (files + 9) / 10,
                (files + 9) / 10, static_cast<long long>(clock.elapsed()));

    lang::Language language(QCoreApplication::applicationDirPath());
    language.setLanguage(QStringLiteral("Français"));
    browser::FileView view(language);
    view.resize(420, 500);
    view.show();
    StallMeter stall;

    std::printf("File view (ListView1):\n");
    stall.start();
    clock.restart();
    qint64 firstRows = -1;
    QObject::connect(&view, &browser::FileView::countChanged, [&](int count) {
        if (firstRows < 0 && count > 0)
            firstRows = clock.elapsed();
    });
    view.setFolder(dir.path());
    if (!waitFor([&] { return !view.isListing(); }))
        return 2;
    const qint64 listed = clock.elapsed();
    report("first rows shown", firstRows);
    report("whole folder listed, sorted by name", listed, QStringLiteral("%1 rows").arg(view.count()));
    report("  longest pause of the window meanwhile", stall.stop());
    const auto *rows = qobject_cast<const browser::FolderFilesModel *>(view.model());
    std::printf("  rows held: %lld bytes for %d files (%lld bytes a file)\n", static_cast<long long>(rows->bytes()),
                rows->rowCount(), static_cast<long long>(rows->bytes() / std::max(1, rows->rowCount())));

    const auto timed = [&](const char *what, const std::function<void()> &step) {
        clock.restart();
        step();
        QCoreApplication::processEvents();
        report(what, clock.elapsed(), QStringLiteral("%1 rows").arg(view.count()));
    };
    timed("filter \"*.txt\"", [&] { view.setPattern(QStringLiteral("*.txt")); });
    timed("filter \"img_####7#.jpg doc_*\"", [&] { view.setPattern(QStringLiteral("img_####7#.jpg doc_*")); });
    timed("filter \"*.*\" (every file again)", [&] { view.setPattern(QStringLiteral("*.*")); });
    timed("sort by size", [&] { view.sortByColumn(1, Qt::AscendingOrder); });
    timed("sort by date, descending", [&] { view.sortByColumn(3, Qt::DescendingOrder); });
    timed("sort by name", [&] { view.sortByColumn(0, Qt::AscendingOrder); });
    timed("select all", [&] { view.selectAll(); });
    clock.restart();
    const QStringList selected = view.selectedNames();
    report("names of the selected files, in view order", clock.elapsed(),
           QStringLiteral("%1 names").arg(selected.size()));
    clock.restart();
    const QStringList names = view.itemNames();
    report("names of all files, in view order", clock.elapsed(), QStringLiteral("%1 names").arg(names.size()));

    stall.start();
    clock.restart();
    const int before = view.count();
    if (!QFile(dir.filePath(QStringLiteral("new file.txt"))).open(QIODevice::WriteOnly))
        return 1;
    if (!waitFor([&] { return view.count() == before + 1; }))
        return 2;
    report("a file created on disk shows (150 ms grouping)", clock.elapsed(),
           QStringLiteral("selection of %1 kept").arg(view.selectedNames().size()));
    report("  longest pause of the window meanwhile", stall.stop());

    // Four files in five renamed behind the view's back, as a rename of the
    // folder does: most rows go and come, the rest stay selected.
    int renamed = 0;
    for (int n = 0; n < files; ++n) {
        if (n % 5 == 0)
            continue;
        const QString name = n % 10 == 0 ? QStringLiteral("doc_%1.txt").arg(n)
                                         : QStringLiteral("IMG_%1.JPG").arg(n, 6, 10, QLatin1Char('0'));
        renamed += QFile::rename(dir.filePath(name), dir.filePath(QStringLiteral("new_") + name)) ? 1 : 0;
    }
    // From the last rename on (the renames themselves hold the window).
    stall.start();
    clock.restart();
    // Past the view's grouping of changes, its last listing runs.
    QElapsedTimer quiet;
    quiet.start();
    waitFor([&] { return quiet.elapsed() > 500; });
    if (!waitFor([&] { return !view.isListing(); }))
        return 2;
    report("after four files in five renamed on disk", clock.elapsed(),
           QStringLiteral("%1 renamed, selection of %2 kept").arg(renamed).arg(view.selectedNames().size()));
    report("  longest pause of the window meanwhile", stall.stop());

    std::printf("Folder tree (TreeView1):\n");
    browser::FolderTree tree(language);
    tree.show();
    stall.start();
    clock.restart();
    tree.setCurrentPath(dir.path());
    tree.expand(tree.currentIndex());
    const auto *model = qobject_cast<const browser::FolderTreeModel *>(tree.model());
    if (!waitFor([&] { return model->isListed(tree.currentIndex()); }))
        return 2;
    report("open the folder, its sub-folders listed", clock.elapsed(),
           QStringLiteral("%1 entries looked at, %2 folders").arg(files + 1).arg(model->rowCount(tree.currentIndex())));
    report("  longest pause of the window meanwhile", stall.stop());
    return 0;
}

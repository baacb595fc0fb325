// The thumbnail view of a folder of photographs, as the main window builds
// it: a 10 ms timer pings the window's thread while the thumbnails load, and
// the longest gap between two pings is the longest the window stood still.
// Measured twice: the first time every photograph is decoded, the second
// (the thumbnails made anew, as after the options dialog) from the cache;
// beside the floor, the longest gap of the same ping while the window idles
// for two seconds (on a loaded machine the system's own pauses show there).
//
//   thumbnail_bench [FOLDER [COUNT [WIDTHxHEIGHT]]]
//       photographs made in a new folder under FOLDER (default: the
//       temporary folder), COUNT of them (1000) of WIDTHxHEIGHT (2000x1500)
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "lang/MsgBox.h"
#include "mainwindow/frmMain.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace tarvello;

namespace {

class SilentBox : public lang::MsgBox
{
public:
    int KVvrMesgBox(const QString &, int, const QString &, int, const QString &) override { return lang::MsgAnswer::Yes; }
    int result() const override { return lang::MsgAnswer::Yes; }
    void systemMessage(const QString &) override {}
};

// A photograph-like JPEG: gradients and shapes, so that it compresses as a photograph does.
QByteArray photograph(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(40, 90, 200));
    sky.setColorAt(1, QColor(230, 200, 150));
    painter.fillRect(image.rect(), sky);
    QRandomGenerator random(7);
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromRgb(random.generate()));
        painter.setPen(Qt::NoPen);
        const int r = int(random.bounded(size.width() / 20)) + 4;
        painter.drawEllipse(QPoint(int(random.bounded(size.width())), int(random.bounded(size.height()))), r, r);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

int drawn(const QListWidget *view)
{
    int count = 0;
    for (int row = 0; row < view->count(); ++row)
        count += view->item(row)->icon().isNull() ? 0 : 1;
    return count;
}

struct Run {
    double seconds = 0;
    double longestPauseMs = 0;
    double switchMs = 0;
};

// Starts the thumbnails and pings the window's thread until every one is drawn.
Run thumbnails(mainwindow::frmMain &window, int count, const std::function<void()> &start)
{
    QListWidget *view = window.controls().ListView2;
    Run run;
    QElapsedTimer clock;
    QElapsedTimer sincePing;
    QTimer ping;
    ping.setInterval(10);
    QObject::connect(&ping, &QTimer::timeout, [&] {
        run.longestPauseMs = std::max(run.longestPauseMs, sincePing.nsecsElapsed() / 1e6);
        sincePing.restart();
    });
    clock.start();
    sincePing.start();
    ping.start();
    QElapsedTimer switching;
    switching.start();
    start();
    run.switchMs = switching.nsecsElapsed() / 1e6;
    while (view->count() < count || drawn(view) < count)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    run.seconds = clock.nsecsElapsed() / 1e9;
    ping.stop();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    QSize size(2000, 1500);
    if (argc > 3) {
        const QStringList parts = QString::fromLocal8Bit(argv[3]).split(QLatin1Char('x'));
        if (parts.size() == 2)
            size = QSize(parts[0].toInt(), parts[1].toInt());
        if (size.isEmpty()) {
            std::fprintf(stderr, "thumbnail_bench: give the size as WIDTHxHEIGHT, for example 2000x1500\n");
            return 2;
        }
    }

    QTemporaryDir work(base + QStringLiteral("/tarvello-bench-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "thumbnail_bench: cannot make a folder under %s\n", qPrintable(base));
        return 2;
    }
    const QByteArray jpeg = photograph(size);
    for (int i = 0; i < count; ++i) {
        QFile file(work.filePath(QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size()) {
            std::fprintf(stderr, "thumbnail_bench: cannot write %s\n", qPrintable(file.fileName()));
            return 2;
        }
    }

    app::AppContext context;
    context.programFolder = QCoreApplication::applicationDirPath();
    context.language.setProgramFolder(context.programFolder);
    context.language.setLanguage(QStringLiteral("Français"));
    context.settingsFolder = work.filePath(QStringLiteral("settings"));
    context.settings.General_AfficherImageBouton = 0;
    for (int i = 0; i < 3; ++i)
        context.settings.thumbnailSizes[i] =
            settings::parseThumbnailSize(context.language.GetMessage(46 + i)).value_or(settings::ThumbnailSize{});
    context.settings.Option_TailleVignette = 2;
    SilentBox box;
    mainwindow::frmMain window(context, box);
    window.show();
    window.setCurrentPath(work.path());
    browser::FileView &files = window.ListView1();
    while (files.isListing() || files.count() < count)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);

    const settings::ThumbnailSize thumb = context.settings.thumbnailSizes[2];
    std::printf("%d photographs of %dx%d (%lld bytes each), thumbnails of %gx%g, %d cores\n", count,
                size.width(), size.height(), static_cast<long long>(jpeg.size()), thumb.width, thumb.height,
                QThread::idealThreadCount());
    const Run idle = thumbnails(window, 0, [] {
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    });
    std::printf("  floor:      window idle for 2 s,  longest window pause %6.1f ms\n", idle.longestPauseMs);
    const Run first = thumbnails(window, count, [&] { window.controls().chkVignette->setChecked(true); });
    std::printf("  decoded:    %6.2f s to draw them all, longest window pause %6.1f ms (switch %5.1f ms)\n",
                first.seconds, first.longestPauseMs, first.switchMs);
    const Run again = thumbnails(window, count, [&] { window.refreshThumbnails(); });
    std::printf("  from cache: %6.2f s to draw them all, longest window pause %6.1f ms (switch %5.1f ms)\n",
                again.seconds, again.longestPauseMs, again.switchMs);
    std::printf("  goal: longest pause under 100 ms\n");
    return 0;
}

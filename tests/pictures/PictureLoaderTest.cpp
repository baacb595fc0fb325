#include "filelist/ui/PictureLoader.h"

#include "ExifTestSupport.h"
#include "tests/support/TestApplication.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace tarvello::filelist {
namespace {

// How far two pictures of the same size differ, 0 (same) to 255, on average.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage y = b.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(int(x.constScanLine(row)[col]) - int(y.constScanLine(row)[col]));
    }
    return sum / (x.width() * x.height());
}

TEST(PictureLoader, everyExifOrientationStandsUprightInItsBox)
{
    const QString photos = exif::sharedPhotos();
    if (photos.isEmpty())
        GTEST_SKIP() << "needs the shared photographs";
    const QSize box(161, 121);
    // The clockwise turn each orientation 1 to 8 names.
    const int angles[] = {0, 0, 180, 180, 270, 90, 90, 270};
    for (const char *shape : {"landscape", "portrait"}) {
        const auto path = [&](int orientation) {
            return QStringLiteral("%1/orientation/%2_%3.jpg").arg(photos, QLatin1String(shape)).arg(orientation);
        };
        const Picture upright = loadPicture(path(1), box);
        ASSERT_FALSE(upright.image.isNull()) << shape;
        EXPECT_EQ(upright.image.size(), QImage(path(1)).size().scaled(box, Qt::KeepAspectRatio)) << shape;
        for (int orientation = 2; orientation <= 8; ++orientation) {
            SCOPED_TRACE(path(orientation).toStdString());
            const Picture turned = loadPicture(path(orientation), box);
            // Within a pixel of the upright one (rounding in the scaled decode).
            const QSize size = turned.image.size();
            const QSize off = size - upright.image.size();
            ASSERT_LE(std::abs(off.width()) + std::abs(off.height()), 1);
            EXPECT_EQ(turned.angle, angles[orientation - 1]);
            // Much nearer the upright picture than to its mirror image or its upside-down one.
            const QImage same = upright.image.scaled(size);
            const double difference = meanDifference(turned.image, same);
            EXPECT_LT(difference, meanDifference(turned.image, same.mirrored(true, false)) / 2);
            EXPECT_LT(difference, meanDifference(turned.image, same.mirrored(false, true)) / 2);
        }
    }
}

// A file that is no picture, a broken one or a missing one gives a null
// picture; a small picture keeps its size.
TEST(PictureLoader, brokenMissingAndSmallPictures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile text(dir.filePath("notes.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    const QString icon = dir.filePath("icon.png");
    ASSERT_TRUE(QImage(20, 10, QImage::Format_RGB32).save(icon));
    const QString cut = dir.filePath("cut.png");
    ASSERT_TRUE(QFile::copy(icon, cut) && QFile::resize(cut, 40));
    for (const QString &path : {text.fileName(), cut, dir.filePath("missing.png")}) {
        const Picture picture = loadPicture(path, QSize(80, 60));
        EXPECT_TRUE(picture.image.isNull()) << path.toStdString();
        EXPECT_EQ(picture.angle, 0);
    }
    EXPECT_EQ(loadPicture(icon, QSize(161, 121)).image.size(), QSize(20, 10));
    EXPECT_EQ(loadPicture(icon, QSize(8, 8)).image.size(), QSize(8, 4));
}

TEST(PictureLoader, pictureExtensionsAreMatchedWholeAndCaseless)
{
    for (const char *name : {"IMG_0001.JPG", "scan.Jpeg", "a.b.gif"})
        EXPECT_TRUE(hasPictureExtension(name, "gif jpg  jpeg bmp")) << name;
    for (const char *name : {"photo.jpg.txt", "jpg", "archive.jp", "photo."})
        EXPECT_FALSE(hasPictureExtension(name, "gif jpg  jpeg bmp")) << name;
}

// The loader hands pictures back on an event loop.
class PictureLoaderEvents : public ::testing::Test
{
protected:
    TestApplication app;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&loader, &PictureLoader::ready, [this](quint64 ticket, const QString &, const Picture &p) {
            received.insert(ticket, p.image.size());
        });
    }

    QString picture(const QString &name, QSize size)
    {
        const QString path = dir.filePath(name);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        EXPECT_TRUE(image.save(path));
        return path;
    }

    // Runs events until the pictures with these tickets have come (or a
    // long while has passed), then lets anything else that was due come too.
    void settle(const QList<quint64> &tickets)
    {
        QDeadlineTimer deadline(20000);
        const auto arrived = [&] {
            return std::all_of(tickets.begin(), tickets.end(), [&](quint64 t) { return received.contains(t); });
        };
        while (!arrived() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    PictureLoader loader;
    QHash<quint64, QSize> received;
};

TEST_F(PictureLoaderEvents, picturesComeBackByTicketAndCancelledOnesNever)
{
    const QString wide = picture("wide.png", QSize(400, 100));
    const quint64 first = loader.request(wide, QSize(80, 60));
    const quint64 second = loader.request(wide, QSize(40, 40));
    EXPECT_TRUE(received.isEmpty());
    settle({first, second});
    EXPECT_EQ(received.value(first), QSize(80, 20));
    EXPECT_EQ(received.value(second), QSize(40, 10));

    received.clear();
    QList<quint64> dropped;
    for (int i = 0; i < 50; ++i)
        dropped.append(loader.request(wide, QSize(10 + i, 10 + i)));
    loader.cancelAll();
    const quint64 after = loader.request(wide, QSize(100, 100));
    settle({after});
    EXPECT_EQ(received.keys(), QList<quint64>{after});
}

TEST_F(PictureLoaderEvents, aChangedFileIsDecodedAgain)
{
    const QString path = picture("photo.png", QSize(100, 100));
    const quint64 before = loader.request(path, QSize(50, 50));
    settle({before});
    picture("photo.png", QSize(100, 50));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime));
    file.close();
    const quint64 after = loader.request(path, QSize(50, 50));
    settle({after});
    EXPECT_EQ(received.value(before), QSize(50, 50));
    EXPECT_EQ(received.value(after), QSize(50, 25));
}

} // namespace
} // namespace tarvello::filelist

#include "QtPrint.h"

#include "exif/ExifCache.h"

#include <gtest/gtest.h>

using namespace tarvello::exif;

namespace {

TEST(ExifCache, exactPathsFirstRecordKeptAndCleared)
{
    ExifCache cache;
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(cache.find(QString()), nullptr);
    ExifInfo canon;
    canon.CameraModel = QStringLiteral("Canon EOS");
    ExifInfo nikon;
    nikon.CameraModel = QStringLiteral("Nikon D70");
    cache.append("/photos/a.jpg", canon);
    cache.append("/photos/A.jpg", nikon);
    cache.append("/photos/a.jpg", nikon);
    EXPECT_EQ(cache.count(), 3);
    ASSERT_NE(cache.find("/photos/a.jpg"), nullptr);
    EXPECT_EQ(cache.find("/photos/a.jpg")->CameraModel, QStringLiteral("Canon EOS"));
    EXPECT_EQ(cache.find("/photos/A.jpg")->CameraModel, QStringLiteral("Nikon D70"));
    EXPECT_EQ(cache.find("/photos//a.jpg"), nullptr);
    cache.clear();
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(cache.find("/photos/a.jpg"), nullptr);
    cache.append("/photos/a.jpg", nikon);
    EXPECT_EQ(cache.find("/photos/a.jpg")->CameraModel, QStringLiteral("Nikon D70"));
}

} // namespace

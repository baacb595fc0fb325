#include "ExifTestSupport.h"
#include "QtPrint.h"

#include "exif/BuiltinReader.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace tarvello::exif;

namespace {

TEST(BuiltinReader, printsWhatExiftoolPrintsForEveryPhoto)
{
    const QString photos = sharedPhotos();
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (photos.isEmpty() || exiftool.isEmpty())
        GTEST_SKIP() << "needs the shared photographs and exiftool";
    // Settings exiftool takes from a maker's own notes (or Canon's CIFF block
    // and Olympus' picture information), which the built-in reader leaves to
    // the standard Exif tags. Nothing the program shows or names files with.
    const QHash<QString, QStringList> makerNotes = {
        {"cameras/Canon_DIGITAL_IXUS_400.jpg", {"MeteringMode"}},
        {"cameras/Fujifilm_FinePix6900ZOOM.jpg", {"WhiteBalance"}},
        {"cameras/corrupted.jpg", {"FocalLength", "MeteringMode"}},
        {"exif-org/canon-ixus.jpg", {"WhiteBalance", "MeteringMode"}},
        {"exif-org/fujifilm-finepix40i.jpg", {"WhiteBalance"}},
        {"exif-org/kodak-dc240.jpg", {"ExposureTime"}},
        {"exif-org/olympus-c960.jpg", {"FocalLength"}},
        {"exif-org/olympus-d320l.jpg", {"Flash", "ExposureTime"}},
        {"exif-org/sony-powershota5.jpg", {"FocalLength", "Aperture"}},
    };
    const QStringList files = photoFiles(photos);
    const QHash<QString, ExifInfo> expected = exiftoolRecords(exiftool, files);
    ASSERT_EQ(expected.size(), files.size());
    for (const QString &file : files) {
        const std::optional<ExifInfo> actual = readBuiltin(file);
        ASSERT_TRUE(actual.has_value()) << file.toStdString();
        const QString name = file.mid(photos.size() + 1);
        EXPECT_EQ(differences(*actual, expected.value(file), makerNotes.value(name)), QStringList())
            << name.toStdString();
    }
}

TEST(BuiltinReader, sizesAsExiftoolPrintsThem)
{
    const std::pair<qint64, const char *> sizes[] = {
        {0, "0 bytes"},       {1999, "1999 bytes"},   {2000, "2.0 kB"},     {7958, "8.0 kB"},
        {9999, "10.0 kB"},    {10000, "10 kB"},       {33499, "33 kB"},     {138500, "138 kB"},
        {1999999, "2000 kB"}, {2000000, "2.0 MB"},    {9999999, "10.0 MB"}, {10000000, "10 MB"},
        {1999999999, "2000 MB"}, {2000000000, "2.0 GB"}, {12000000000, "12 GB"},
    };
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(exiftoolFileSize(bytes), QString::fromLatin1(text)) << bytes;
}

} // namespace

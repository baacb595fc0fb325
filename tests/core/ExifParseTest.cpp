#include "ExifTestSupport.h"
#include "QtPrint.h"

#include "exif/BuiltinReader.h"
#include "exif/ExifParse.h"

#include <gtest/gtest.h>

using namespace tarvello::exif;

namespace {

// An exiftool line: the label padded to 32 columns, ": ", the value.
QString et(const char *label, const char *value)
{
    return QString::fromUtf8(label).leftJustified(32) + QStringLiteral(": ") + QString::fromUtf8(value);
}

struct ParseCase { const char *label; ExifTextParser::Format format; QStringList lines; ExifInfo expected; };

void PrintTo(const ParseCase &c, std::ostream *os) { *os << c.label; }

class ExifTextParsing : public testing::TestWithParam<ParseCase> {};

TEST_P(ExifTextParsing, fillsTheRecordAsTheToolPrintedIt)
{
    const ParseCase &c = GetParam();
    EXPECT_EQ(ExifTextParser::parse(c.format, c.lines.join(QLatin1Char('\n'))), c.expected);
    // Windows line ends read the same.
    EXPECT_EQ(ExifTextParser::parse(c.format, c.lines.join("\r\n")), c.expected);
}

constexpr auto ExifTool = ExifTextParser::Format::ExifTool;
constexpr auto Jhead = ExifTextParser::Format::Jhead;

const ParseCase kParseCases[] = {
    {"exiftoolFields", ExifTool,
     {et("ExifTool Version Number", "12.57"), et("File Size", "8.0 kB"), et("Make", "Canon"),
      et("Camera Model Name", "Canon EOS 40D"), et("Exposure Time", "1/160"), et("Aperture Value", "7.0"),
      et("Metering Mode", "Multi-segment"), et("Flash", "On, Fired"), et("White Balance", "Auto"),
      et("File Modification Date/Time", "2026:12:05 22:09:32+00:00")},
     {.FileSize = "8.0 kB", .FileDate = "2026:12:05 22:09:32+00:00", .CameraMake = "Canon",
      .CameraModel = "Canon EOS 40D", .Flash = "On, Fired", .ExposureTime = "1/160", .Aperture = "7.0",
      .WhiteBalance = "Auto", .MeteringMode = "Multi-segment"}},
    {"folderAndNameJoinInEitherOrder", ExifTool, {et("Directory", "/photos"), et("File Name", "a.jpg")},
     {.FileName = "/photos/a.jpg"}},
    {"widthAndHeightJoinOnlyTogether", ExifTool, {et("Exif Image Height", "68"), et("Exif Image Width", "100 0")},
     {.Resolution = "100 0 x 68"}},
    {"halfAResolutionIsNone", ExifTool, {et("Exif Image Width", "100")}, {}},
    {"rotationKept", ExifTool, {et("Orientation", "Rotate 90 CW")}, {.Orientation = "Rotate 90 CW"}},
    {"normalOrientationEmpty", ExifTool, {et("Orientation", "Rotate 180"), et("Orientation", "Horizontal (normal)")},
     {}},
    {"mirrorEmpty", ExifTool, {et("Orientation", "Mirror horizontal and rotate 90 CW")}, {}},
    {"commentLinesJoined", ExifTool, {et("Comment", "first"), et("Comment", "second")}, {.Comment = "first second"}},
    {"firstCreateDateKept", ExifTool,
     {et("Create Date", "2008:05:30 15:56:01"), et("Create Date", "2008:05:30 15:56:01.00")},
     {.DateTaken = "2008:05:30 15:56:01", .Year = "2008", .Month = "05", .Day = "30", .Hour = "15", .Minute = "56",
      .Second = "01"}},
    {"zoneLeavesTheTimeParts", ExifTool, {et("Create Date", "2008:03:15 09:52:01-04:00")},
     {.DateTaken = "2008:03:15 09:52:01-04:00", .Year = "2008", .Month = "03", .Day = "15"}},
    {"dateWithoutTime", ExifTool, {et("Create Date", "2008:03:15")}, {.DateTaken = "2008:03:15"}},
    {"laterLineOverwrites", ExifTool, {et("Focal Length", "135.0 mm"), et("Focal Length", "135.0 mm (35 mm equivalent: 218.5 mm)")},
     {.FocalLength = "135.0 mm (35 mm equivalent: 218.5 mm)"}},
    // A one-character value makes a 35-character line, which is too short.
    {"oneCharacterValueIgnored", ExifTool, {et("White Balance", "0"), et("Make", "AB")}, {.CameraMake = "AB"}},
    {"labelsOnlyInTheirColumns", ExifTool,
     {"Make: Canon EOS 40D with a long text after it", et("Other Tag", "x"),
      QStringLiteral("make").leftJustified(32) + "::value from column 35"},
     {.CameraMake = "value from column 35"}},
    {"jheadFields", Jhead,
     {"File name    : /tmp/tarvello.tmp", "File size    : 7958 bytes", "Camera make  : Canon",
      "Camera model : Canon EOS 40D", "Date/Time    : 2008:05:30 15:56:01", "Resolution   : 100 x 68",
      "Orientation  : rotate 90", "Flash used   : Yes (manual)", "Exposure time: 0.0063 s  (1/160)",
      "Aperture     : f/7.1", "Whitebalance : Auto", "Metering Mode: pattern", "Comment      : ab",
      "Comment      : cd", "JPEG Quality : 65"},
     {.FileName = "/tmp/tarvello.tmp", .FileSize = "7958 bytes", .CameraMake = "Canon",
      .CameraModel = "Canon EOS 40D", .DateTaken = "2008:05:30 15:56:01", .Resolution = "100 x 68",
      .Orientation = "rotate 90", .Flash = "Yes (manual)", .ExposureTime = "0.0063 s  (1/160)",
      .Aperture = "f/7.1", .WhiteBalance = "Auto", .MeteringMode = "pattern", .Comment = "ab cd", .Year = "2008",
      .Month = "05", .Day = "30", .Hour = "15", .Minute = "56", .Second = "01"}},
    // Lines of 16 characters or fewer carry nothing.
    {"jheadShortLines", Jhead, {"Comment      : a", "Comment      : bc"}, {.Comment = "bc"}},
};
INSTANTIATE_TEST_SUITE_P(Lines, ExifTextParsing, testing::ValuesIn(kParseCases));

// The built-in reader gives the file size as exiftool prints it.
TEST(BuiltinReader, sizesAsExiftoolPrintsThem)
{
    const std::pair<qint64, const char *> sizes[] = {
        {0, "0 bytes"},       {1999, "1999 bytes"},   {2000, "2.0 kB"},     {7958, "8.0 kB"},
        {9999, "10.0 kB"},    {10000, "10 kB"},       {33499, "33 kB"},     {138500, "138 kB"},
        {1999999, "2000 kB"}, {2000000, "2.0 MB"},    {9999999, "10.0 MB"}, {10000000, "10 MB"},
        {1999999999, "2000 MB"}, {2000000000, "2.0 GB"}, {12000000000, "12 GB"},
    };
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(exiftoolFileSize(bytes), text) << bytes;
}

} // namespace

#pragma once

#include <QString>

namespace tarvello::exif {

// One photograph's metadata as the readers print it: 21 texts, all empty when
// nothing was read. Nothing is converted to numbers; a date of shooting reads
// "2004:03:05 09:07:02" and its parts are split into Year ... Second.
struct ExifInfo {
    QString FileName;
    QString FileSize;
    QString FileDate;
    QString CameraMake;
    QString CameraModel;
    QString DateTaken;
    QString Resolution;
    QString Orientation;
    QString Flash;
    QString FocalLength;
    QString ExposureTime;
    QString Aperture;
    QString WhiteBalance;
    QString MeteringMode;
    QString Comment;
    QString Year;
    QString Month;
    QString Day;
    QString Hour;
    QString Minute;
    QString Second;

    bool operator==(const ExifInfo &) const = default;
};

// Where the name computation gets a file's metadata (getExif).
class ExifSource
{
public:
    virtual ~ExifSource() = default;
    // The file's metadata; the empty record when no reader applies to it.
    virtual ExifInfo getExif(const QString &path) = 0;
};

// The source used until a reader is configured: every file gives the empty
// record, so the metadata tokens of a rule expand to nothing.
class NoExifSource : public ExifSource
{
public:
    // Always the empty record.
    ExifInfo getExif(const QString &) override { return {}; }
};

} // namespace tarvello::exif

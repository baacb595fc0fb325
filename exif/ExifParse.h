#pragma once

#include "exif/ExifInfo.h"

#include <QString>

namespace tarvello::exif {

// Fills an ExifInfo from the text a reader printed, one line at a time.
// exiftool prints "label (padded to 32) : value", the label in the first 32
// columns and the value from column 35; jhead prints "label : value", the
// label in the first 13 columns and the value from column 16.
class ExifTextParser
{
public:
    enum class Format { ExifTool, Jhead };

    explicit ExifTextParser(Format format) : m_format(format) {}

    // One line without its line end.
    void addLine(const QString &line);
    // Every line of the text ("\n" or "\r\n" ends).
    void addText(const QString &text);
    // What the exiftool line of this label (32 characters at most) and value
    // would give.
    void addExifToolValue(QLatin1String label, const QString &value);

    const ExifInfo &info() const { return m_info; }

    // The record of a whole printed text.
    static ExifInfo parse(Format format, const QString &text);

private:
    void addExifToolLine(const QString &line);
    void addExifToolField(const QString &upperLabel, const QString &value);
    void addJheadLine(const QString &line);
    void setDateTaken(const QString &value);

    Format m_format;
    ExifInfo m_info;
    QString m_directory;
    QString m_fileName;
    QString m_width;
    QString m_height;
    // exiftool 12 prints a composite "Create Date" with sub-seconds after the
    // Exif one; the first line wins, so the seconds stay two digits.
    bool m_dateSeen = false;
};

// Splits DateTaken "year:month:day hour:minute:second" into its six parts.
// Only a value of exactly two blank-separated parts is split, and each part
// only when it has exactly three ":"-separated pieces: a time with a zone
// ("09:52:01-04:00") has four and leaves the time fields as they were.
void splitDateTaken(ExifInfo &info);

} // namespace tarvello::exif

#include "exif/ExifParse.h"

#include <QStringList>

namespace tarvello::exif {

void ExifTextParser::addLine(const QString &line)
{
    if (m_format == Format::ExifTool)
        addExifToolLine(line);
    else
        addJheadLine(line);
}

void ExifTextParser::addText(const QString &text)
{
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        addLine(line);
    }
}

ExifInfo ExifTextParser::parse(Format format, const QString &text)
{
    ExifTextParser parser(format);
    parser.addText(text);
    return parser.info();
}

void ExifTextParser::addExifToolLine(const QString &line)
{
    if (line.size() < 36)
        return;
    addExifToolField(line.left(32).trimmed().toUpper(), line.mid(34));
}

void ExifTextParser::addExifToolValue(QLatin1String label, const QString &value)
{
    // The value starts in column 35 of its line, which counts from 36 on.
    if (value.size() >= 2)
        addExifToolField(QString(label).toUpper(), value);
}

void ExifTextParser::addExifToolField(const QString &label, const QString &value)
{
    ExifInfo &x = m_info;
    if (label == u"FILE NAME" || label == u"DIRECTORY") {
        (label == u"FILE NAME" ? m_fileName : m_directory) = value;
        if (!m_fileName.isEmpty() && !m_directory.isEmpty())
            x.FileName = m_directory + QLatin1Char('/') + m_fileName;
    } else if (label == u"EXIF IMAGE WIDTH" || label == u"EXIF IMAGE HEIGHT") {
        (label == u"EXIF IMAGE WIDTH" ? m_width : m_height) = value;
        if (!m_width.isEmpty() && !m_height.isEmpty())
            x.Resolution = m_width + QStringLiteral(" x ") + m_height;
    } else if (label == u"ORIENTATION") {
        x.Orientation = value.left(6).toUpper() == u"ROTATE" ? value : QString();
    } else if (label == u"COMMENT") {
        x.Comment = x.Comment.isEmpty() ? value : x.Comment + QLatin1Char(' ') + value;
    } else if (label == u"CREATE DATE") {
        if (!m_dateSeen)
            setDateTaken(value);
        m_dateSeen = true;
    } else if (label == u"FILE SIZE") {
        x.FileSize = value;
    } else if (label == u"FILE MODIFICATION DATE/TIME") {
        x.FileDate = value;
    } else if (label == u"MAKE") {
        x.CameraMake = value;
    } else if (label == u"CAMERA MODEL NAME") {
        x.CameraModel = value;
    } else if (label == u"FLASH") {
        x.Flash = value;
    } else if (label == u"FOCAL LENGTH") {
        x.FocalLength = value;
    } else if (label == u"EXPOSURE TIME") {
        x.ExposureTime = value;
    } else if (label == u"APERTURE VALUE") {
        x.Aperture = value;
    } else if (label == u"WHITE BALANCE") {
        x.WhiteBalance = value;
    } else if (label == u"METERING MODE") {
        x.MeteringMode = value;
    }
}

void ExifTextParser::addJheadLine(const QString &line)
{
    if (line.size() <= 16)
        return;
    const QString label = line.left(13).trimmed().toUpper();
    const QString value = line.mid(15);
    ExifInfo &x = m_info;
    if (label == u"FILE NAME")
        x.FileName = value;
    else if (label == u"FILE SIZE")
        x.FileSize = value;
    else if (label == u"FILE DATE")
        x.FileDate = value;
    else if (label == u"CAMERA MAKE")
        x.CameraMake = value;
    else if (label == u"CAMERA MODEL")
        x.CameraModel = value;
    else if (label == u"DATE/TIME")
        setDateTaken(value);
    else if (label == u"RESOLUTION")
        x.Resolution = value;
    else if (label == u"ORIENTATION")
        x.Orientation = value;
    else if (label == u"FLASH USED")
        x.Flash = value;
    else if (label == u"FOCAL LENGTH")
        x.FocalLength = value;
    else if (label == u"EXPOSURE TIME")
        x.ExposureTime = value;
    else if (label == u"APERTURE")
        x.Aperture = value;
    else if (label == u"WHITEBALANCE")
        x.WhiteBalance = value;
    else if (label == u"METERING MODE")
        x.MeteringMode = value;
    else if (label == u"COMMENT")
        x.Comment = x.Comment.isEmpty() ? value : x.Comment + QLatin1Char(' ') + value;
}

void ExifTextParser::setDateTaken(const QString &value)
{
    m_info.DateTaken = value;
    splitDateTaken(m_info);
}

void splitDateTaken(ExifInfo &info)
{
    if (info.DateTaken.isEmpty())
        return;
    const QStringList parts = info.DateTaken.split(QLatin1Char(' '));
    if (parts.size() != 2)
        return;
    if (!parts.at(0).isEmpty()) {
        const QStringList date = parts.at(0).split(QLatin1Char(':'));
        if (date.size() == 3) {
            info.Year = date.at(0);
            info.Month = date.at(1);
            info.Day = date.at(2);
        }
    }
    if (!parts.at(1).isEmpty()) {
        const QStringList time = parts.at(1).split(QLatin1Char(':'));
        if (time.size() == 3) {
            info.Hour = time.at(0);
            info.Minute = time.at(1);
            info.Second = time.at(2);
        }
    }
}

} // namespace tarvello::exif

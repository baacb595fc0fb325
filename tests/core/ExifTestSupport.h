#pragma once

#include "exif/ExifInfo.h"
#include "exif/ExifParse.h"

#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <ostream>
#include <utility>

namespace tarvello::exif {

// The 21 fields by name, for field-by-field comparisons and messages.
inline const std::pair<const char *, QString ExifInfo::*> kExifFields[] = {
    {"FileName", &ExifInfo::FileName},         {"FileSize", &ExifInfo::FileSize},       {"FileDate", &ExifInfo::FileDate},
    {"CameraMake", &ExifInfo::CameraMake},     {"CameraModel", &ExifInfo::CameraModel}, {"DateTaken", &ExifInfo::DateTaken},
    {"Resolution", &ExifInfo::Resolution},     {"Orientation", &ExifInfo::Orientation}, {"Flash", &ExifInfo::Flash},
    {"FocalLength", &ExifInfo::FocalLength},   {"ExposureTime", &ExifInfo::ExposureTime}, {"Aperture", &ExifInfo::Aperture},
    {"WhiteBalance", &ExifInfo::WhiteBalance}, {"MeteringMode", &ExifInfo::MeteringMode}, {"Comment", &ExifInfo::Comment},
    {"Year", &ExifInfo::Year},                 {"Month", &ExifInfo::Month},             {"Day", &ExifInfo::Day},
    {"Hour", &ExifInfo::Hour},                 {"Minute", &ExifInfo::Minute},           {"Second", &ExifInfo::Second},
};

inline void PrintTo(const ExifInfo &info, std::ostream *os)
{
    *os << '{';
    for (const auto &[name, field] : kExifFields) {
        if (!(info.*field).isEmpty())
            *os << ' ' << name << "=\"" << (info.*field).toStdString() << '"';
    }
    *os << " }";
}

// The shared folder of real photographs; tests skip when it is absent.
inline QString sharedPhotos()
{
    const QString folder = QStringLiteral(TARVELLO_SHARED_PHOTOS);
    return QDir(folder).exists() ? QDir(folder).absolutePath() : QString();
}

// Every photograph of the shared folders, broken ones included.
inline QStringList photoFiles(const QString &root)
{
    QStringList files;
    for (const char *folder : {"cameras", "exif-org", "gps", "orientation", "tiff", "invalid"}) {
        QDirIterator it(root + u'/' + QString::fromLatin1(folder), QDir::Files);
        while (it.hasNext()) {
            const QString file = it.next();
            if (!it.fileName().startsWith(u"README"))
                files.append(file);
        }
    }
    files.sort();
    return files;
}

// What a tool prints over many files in one call, cut into one text per file
// at the line that starts each file's part.
inline QHash<QString, QString> toolTexts(const QString &tool, const QStringList &files, const QString &headerPrefix)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(tool, files);
    process.waitForFinished(300000);
    QHash<QString, QString> texts;
    QString current;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(headerPrefix))
            current = line.mid(headerPrefix.size());
        if (!current.isEmpty())
            texts[current] += line + u'\n';
    }
    return texts;
}

inline QHash<QString, ExifInfo> exiftoolRecords(const QString &exiftool, const QStringList &files)
{
    QHash<QString, ExifInfo> records;
    const QHash<QString, QString> texts = toolTexts(exiftool, files, "======== ");
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        records.insert(it.key(), ExifTextParser::parse(ExifTextParser::Format::ExifTool, it.value()));
    return records;
}

// The fields that differ, but for the ones named.
inline QStringList differences(const ExifInfo &actual, const ExifInfo &expected, const QStringList &allowed = {})
{
    QStringList names;
    for (const auto &[name, field] : kExifFields) {
        if (actual.*field != expected.*field && !allowed.contains(QString::fromLatin1(name)))
            names.append(QStringLiteral("%1: [%2] instead of [%3]").arg(name, actual.*field, expected.*field));
    }
    return names;
}

} // namespace tarvello::exif

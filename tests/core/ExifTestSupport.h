#pragma once

#include "exif/ExifInfo.h"

#include <QDir>
#include <QString>

#include <ostream>
#include <utility>

namespace tarvello::exif {

// The 21 fields by name, for field-by-field comparisons and messages.
inline const std::pair<const char *, QString ExifInfo::*> kExifFields[] = {
    {"FileName", &ExifInfo::FileName},         {"FileSize", &ExifInfo::FileSize},
    {"FileDate", &ExifInfo::FileDate},         {"CameraMake", &ExifInfo::CameraMake},
    {"CameraModel", &ExifInfo::CameraModel},   {"DateTaken", &ExifInfo::DateTaken},
    {"Resolution", &ExifInfo::Resolution},     {"Orientation", &ExifInfo::Orientation},
    {"Flash", &ExifInfo::Flash},               {"FocalLength", &ExifInfo::FocalLength},
    {"ExposureTime", &ExifInfo::ExposureTime}, {"Aperture", &ExifInfo::Aperture},
    {"WhiteBalance", &ExifInfo::WhiteBalance}, {"MeteringMode", &ExifInfo::MeteringMode},
    {"Comment", &ExifInfo::Comment},           {"Year", &ExifInfo::Year},
    {"Month", &ExifInfo::Month},               {"Day", &ExifInfo::Day},
    {"Hour", &ExifInfo::Hour},                 {"Minute", &ExifInfo::Minute},
    {"Second", &ExifInfo::Second},
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

} // namespace tarvello::exif

// The shared folder of real photographs; tests skip when it is absent.
inline QString sharedPhotos()
{
    const QString folder = QStringLiteral(TARVELLO_SHARED_PHOTOS);
    return QDir(folder).exists() ? QDir(folder).absolutePath() : QString();
}

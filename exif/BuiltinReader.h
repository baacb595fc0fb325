#pragma once

#include "exif/ExifInfo.h"

#include <QString>

#include <optional>

namespace tarvello::exif {

// The built-in reader: reads a photograph in-process through libexiv2 (and a
// few lines of our own for JPEG segments) and gives each field the text
// exiftool prints for it, passed through the same exiftool line parsing, so
// that a rule gives the same names whichever of the two reads the photo.
//
// Differences with exiftool kept on purpose: the photograph is read in place
// rather than as a copy, so FileName and FileDate are the photo's own (as
// exiftool prints them when given the photo itself); the maker notes are not
// read, so a flash, exposure, aperture, focal length, metering or white
// balance text that exiftool takes from a maker's own tags comes from the
// standard Exif tags instead. None of these is a rule token.
//
// Nothing when the path is no file. Safe to call from several threads at once.
std::optional<ExifInfo> readBuiltin(const QString &path);

// A file size as exiftool prints it: "1999 bytes", "8.0 kB", "33 kB", "1.5 MB"
// (units of 1000 bytes).
QString exiftoolFileSize(qint64 bytes);

} // namespace tarvello::exif

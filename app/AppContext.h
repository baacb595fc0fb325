#pragma once

#include "ini/IniFile.h"
#include "settings/Settings.h"
#include "exif/ExifCache.h"
#include "exif/ExifReader.h"
#include "lang/Language.h"

#include <QString>

namespace tarvello::app {

// The state shared by the whole run: where the program and its settings live,
// the settings record and the current language. Made once by the start-up and
// handed to every window; nothing reaches it through a global.
struct AppContext {
    QString programFolder;
    QString settingsFolder;
    ini::IniFile settingsFile;
    settings::Settings settings;
    lang::Language language;
    settings::ProgramVersion version;
    // The private temporary folder ("" when it could not be made safe).
    QString tempFolder;
    // The file the Exif readers write their output to, in the temporary folder.
    QString exifOutputFile;
    // The photographs' metadata read so far; emptied only on the user's request.
    exif::ExifCache exifCache;
    // The reader behind the rule tokens and the main window's Exif labels; the
    // built-in one until the start-up hands it the settings and its places.
    exif::ExifReader exifReader{exif::ExifOptions{}, exifCache};
    // The user confirmed leaving (quit flag).
    bool quit = false;
};

} // namespace tarvello::app

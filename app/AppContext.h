#pragma once

#include "app/IniFile.h"
#include "app/Settings.h"
#include "lang/Language.h"

#include <QString>

namespace tarvello::app {

// The state shared by the whole run: where the program and its settings live,
// the settings record and the current language. Made once by the start-up and
// handed to every window; nothing reaches it through a global.
struct AppContext {
    QString programFolder;
    QString settingsFolder;
    IniFile settingsFile;
    Settings settings;
    lang::Language language;
    ProgramVersion version;
    // The private temporary folder ("" when it could not be made safe).
    QString tempFolder;
    // The file the Exif readers write their output to, in the temporary folder.
    QString exifOutputFile;
    // The user confirmed leaving (quit flag).
    bool quit = false;
};

} // namespace tarvello::app

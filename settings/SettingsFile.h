#pragma once

#include "ini/IniFile.h"
#include "settings/Settings.h"
#include "common/VbError.h"

#include <optional>

namespace tarvello::lang {
class Language;
}

namespace tarvello::settings {

// What the load of the settings file has to tell the user.
struct SettingsLoadResult {
    // The error that stopped the load, and the number of the statement it
    // stopped at; the fields not read keep their defaults. key is the key
    // whose value failed, fileLine the number (from 1) of its line in the file.
    std::optional<common::VbError> error;
    int line = 0;
    QString key;
    int fileLine = 0;
    // The stored version is one the upgrade rules do not know (message 96);
    // its memorised rules were not read.
    bool unknownVersion = false;
    // The chosen language's file could not be read (its path); the French
    // file stands in when it can be read (fellBackToDefault), the setting keeps
    // the user's choice.
    QString unreadableLanguageFile;
    bool fellBackToDefault = false;
};

// The file part of loading the settings into a record as made (its fields hold
// the defaults), in the file's load order: selects the language first (so
// defaults taken from messages are in it), applies the upgrade rules of older
// versions, and stops at the first value that does not convert, the fields not
// read keeping their defaults. documentsFolder is the default start folder.
SettingsLoadResult readSettingsFile(const ini::IniFile &file, Settings &settings, lang::Language &language,
                                    const QString &documentsFolder);

// Writes every key in the save order, with the memorised rules renumbered from
// 0 without gaps, as one replacement of the file. shownFolder is the folder the
// folder tree shows now (stored when the start folder is "the last one").
// Returns false when the file could not be written.
bool writeSettingsFile(ini::IniFile &file, const Settings &settings, const QString &shownFolder,
                       const ProgramVersion &version = {});

// Parses "... (160x120) ..." into a size; nullopt when the text holds none.
std::optional<ThumbnailSize> parseThumbnailSize(const QString &message);

// The memorised rule line of the current format (12 fields joined by "|").
QString formatMemorisedRule(const RuleOptions &rule);

// Reads a 12-field line (or a 6-field line of versions 1.10.0 and 1.11.0 when
// oldFormat); throws VbError when a number field does not convert.
RuleOptions parseMemorisedRule(const QString &line, bool oldFormat);

} // namespace tarvello::settings

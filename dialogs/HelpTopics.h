#pragma once

#include "settings/Settings.h"

#include <QString>

namespace tarvello::dialogs {

// The topics of the help file: each is the anchor "#<number>" of a section.
namespace HelpTopic {
constexpr int MainWindow = 10000;
constexpr int Options = 10001;
constexpr int WhatsNew = 10002;
constexpr int ExifTool = 10003;
constexpr int Update = 10004;
constexpr int Dependance = 10005;
} // namespace HelpTopic

// True when the version recorded at the previous run differs from the running
// one. The stored text is split at its first two "." into major, minor and
// revision; a missing or unreadable part counts as 0, and a text without any
// "." leaves all three at 0 (an empty text, the first run, always differs).
bool versionChanged(const QString &storedVersion, const settings::ProgramVersion &running);

// The online manual offered when the help file is missing.
QString onlineManualUrl();

} // namespace tarvello::dialogs

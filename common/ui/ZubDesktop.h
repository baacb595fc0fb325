#pragma once

#include <QString>

// The helpers that hand work to the desktop (browser, mail program); they need
// the desktop session, so they live with the windows.
namespace tarvello::common::ui {

// Opens a URL or a local file in the user's browser; false when nothing took it.
bool ZubOpenUrl(const QString &urlOrPath);

// Opens the user's mail program on a "mailto:" address.
bool ZubOpenMail(const QString &mailtoUrl);

} // namespace tarvello::common::ui

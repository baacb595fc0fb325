#pragma once

#include <QString>

namespace tarvello::app {

// The folder that holds langages/ (language files, help, pictures) and
// version_local.txt for a program whose executable lies in executableFolder:
// that folder itself when langages/ is beside the executable (the build tree,
// a copied folder), else share/tarvello of the install prefix the executable
// was installed under. When neither holds langages/, the executable's folder,
// so that the missing files are reported where they were looked for first.
QString dataFolder(const QString &executableFolder);

} // namespace tarvello::app

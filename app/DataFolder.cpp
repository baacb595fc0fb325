#include "app/DataFolder.h"

#include <QDir>
#include <QFileInfo>

namespace tarvello::app {

namespace {

bool holdsLanguages(const QString &folder)
{
    return QFileInfo(folder + QStringLiteral("/langages")).isDir();
}

} // namespace

QString dataFolder(const QString &executableFolder)
{
    if (holdsLanguages(executableFolder))
        return executableFolder;
    const QString installed = QDir::cleanPath(executableFolder + QStringLiteral("/" TARVELLO_DATA_FROM_BIN));
    return holdsLanguages(installed) ? installed : executableFolder;
}

} // namespace tarvello::app

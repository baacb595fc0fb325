#include "common/ui/ZubDesktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tarvello::common::ui {

bool ZubOpenUrl(const QString &urlOrPath)
{
    const QUrl url = QFileInfo::exists(urlOrPath) ? QUrl::fromLocalFile(urlOrPath)
                                                  : QUrl::fromUserInput(urlOrPath);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool ZubOpenMail(const QString &mailtoUrl)
{
    const QUrl url(mailtoUrl.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)
                       ? mailtoUrl
                       : QStringLiteral("mailto:") + mailtoUrl);
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace tarvello::common::ui

#include "update/Site.h"

#include <QtGlobal>

namespace tarvello::update {

namespace {

const QString kProductName = QStringLiteral("Tarvello");
const QString kSiteAddress = QStringLiteral("http://www.tarvello.org");

} // namespace

QString productName()
{
    return kProductName;
}

QString siteAddress()
{
    QString site = qEnvironmentVariable("TARVELLO_SITE", kSiteAddress);
    while (site.endsWith(QLatin1Char('/')))
        site.chop(1);
    return site;
}

} // namespace tarvello::update

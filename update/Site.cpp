#include "update/Site.h"

#include <QHostAddress>
#include <QtGlobal>

namespace tarvello::update {

namespace {

const QString kProductName = QStringLiteral("Tarvello");
const QString kSiteAddress = QStringLiteral("https://tarvello.example.org");

QUrl underProduct(const QString &site, const QString &fileName)
{
    return QUrl(site + QLatin1Char('/') + kProductName + QLatin1Char('/') + fileName);
}

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

QUrl versionFileUrl(const QString &site)
{
    return underProduct(site, QStringLiteral("version.txt"));
}

QUrl releaseNotesUrl(const QString &site)
{
    return underProduct(site, QStringLiteral("release_note.txt"));
}

QString packageFileName(const QString &version)
{
    return QStringLiteral("tarvello_%1_%2.deb").arg(version, QStringLiteral(TARVELLO_DEB_ARCH));
}

QUrl packageUrl(const QString &site, const QString &version)
{
    return underProduct(site, packageFileName(version));
}

QUrl checksumUrl(const QUrl &package)
{
    QUrl url = package;
    url.setPath(package.path() + QStringLiteral(".sha256"));
    return url;
}

bool isTrustedSource(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    const QString host = url.host();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

} // namespace tarvello::update

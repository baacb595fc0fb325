#pragma once

#include <QString>
#include <QUrl>

namespace tarvello::update {

// The product's name, as the site's folders spell it ("Tarvello").
QString productName();

// The maker's site address without a trailing "/": the environment variable
// TARVELLO_SITE when it is set (tests point it at a local server), else the
// program's own site, over HTTPS.
QString siteAddress();

// The addresses of the site's files, under the product's folder.
QUrl versionFileUrl(const QString &site);
QUrl releaseNotesUrl(const QString &site);

// The Debian package of a version for the architecture the program was built
// for ("tarvello_1.13.10_amd64.deb"), and its address on the site. The
// package's SHA-256 is published beside it, at the same address + ".sha256".
QString packageFileName(const QString &version);
QUrl packageUrl(const QString &site, const QString &version);
QUrl checksumUrl(const QUrl &package);

// True for an address a package may come from: HTTPS, or plain HTTP to this
// machine (a test server). The checksum comes from the same site, so only the
// connection vouches for both.
bool isTrustedSource(const QUrl &url);

} // namespace tarvello::update

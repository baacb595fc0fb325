#pragma once

#include <QNetworkRequest>
#include <QUrl>

namespace tarvello::update {

// A request to the site: given up when the transfer stays silent for
// timeoutMs, redirects followed only when they keep HTTPS, and the program
// named with its version.
QNetworkRequest networkRequest(const QUrl &url, int timeoutMs);

} // namespace tarvello::update

#include "update/NetworkRequest.h"

#include "settings/Settings.h"

namespace tarvello::update {

QNetworkRequest networkRequest(const QUrl &url, int timeoutMs)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tarvello/") + settings::ProgramVersion().text());
    return request;
}

} // namespace tarvello::update

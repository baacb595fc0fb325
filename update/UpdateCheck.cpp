#include "update/UpdateCheck.h"

#include "update/NetworkRequest.h"
#include "update/Site.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace tarvello::update {

namespace {

const char *const kTooLarge = "tarvelloTooLarge";

} // namespace

UpdateCheck::UpdateCheck(Request request, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
    , m_network(new QNetworkAccessManager(this))
{
}

UpdateCheck::~UpdateCheck()
{
    // Replies still running end here without calling back into a half-gone object.
    for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>()) {
        reply->disconnect(this);
        reply->abort();
    }
}

void UpdateCheck::start()
{
    if (!m_request.localVersionFile.isEmpty() && QFile::exists(m_request.localVersionFile)) {
        QFile file(m_request.localVersionFile);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.read(kTextLimit) : QByteArray();
        // Answered from the event loop, as an answer from the site would be.
        QMetaObject::invokeMethod(this, [this, bytes] { versionRead(bytes); }, Qt::QueuedConnection);
        return;
    }
    get(versionFileUrl(m_request.site), &UpdateCheck::versionArrived);
}

void UpdateCheck::get(const QUrl &url, void (UpdateCheck::*then)(QNetworkReply *))
{
    QNetworkReply *reply = m_network->get(networkRequest(url, m_request.timeoutMs));
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kTextLimit) {
            reply->setProperty(kTooLarge, true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, then] {
        reply->deleteLater();
        (this->*then)(reply);
    });
}

void UpdateCheck::versionArrived(QNetworkReply *reply)
{
    if (reply->property(kTooLarge).toBool())
        finish(CheckOutcome::NotAVersion);
    else if (reply->error() != QNetworkReply::NoError)
        finish(CheckOutcome::NoAnswer);
    else
        versionRead(reply->readAll());
}

void UpdateCheck::versionRead(const QByteArray &bytes)
{
    m_announced = siteFileText(bytes);
    if (m_announced.isEmpty()) {
        finish(CheckOutcome::Empty);
        return;
    }
    const VersionNumbers announced = parseVersion(m_announced);
    if (announced.isEmpty()) {
        finish(CheckOutcome::NotAVersion);
        return;
    }
    if (compareVersions(announced, parseVersion(m_request.running)) <= 0) {
        finish(CheckOutcome::NotNewer);
        return;
    }
    m_offer.version = versionText(announced);
    m_offer.package = packageUrl(m_request.site, m_offer.version);
    if (m_request.withNotes)
        get(releaseNotesUrl(m_request.site), &UpdateCheck::notesArrived);
    else
        finish(CheckOutcome::Newer);
}

void UpdateCheck::notesArrived(QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError || reply->property(kTooLarge).toBool()) {
        finish(CheckOutcome::NotesMissing);
        return;
    }
    m_offer.notes = releaseNotesText(reply->readAll());
    finish(CheckOutcome::Newer);
}

void UpdateCheck::finish(CheckOutcome outcome)
{
    m_outcome = outcome;
    Q_EMIT finished();
}

} // namespace tarvello::update

#include "update/PackageDownload.h"

#include "update/NetworkRequest.h"
#include "update/Site.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <cctype>

namespace tarvello::update {

QByteArray parseChecksumFile(const QByteArray &bytes)
{
    const QByteArray word = bytes.trimmed().split(' ').value(0).split('\t').value(0).trimmed();
    if (word.size() != 64)
        return {};
    for (const char c : word) {
        if (!std::isxdigit(uchar(c)))
            return {};
    }
    return QByteArray::fromHex(word);
}

PackageDownload::PackageDownload(QUrl package, QString folder, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_package(std::move(package))
    , m_path(folder + QLatin1Char('/') + m_package.fileName())
    , m_timeoutMs(timeoutMs)
    , m_network(new QNetworkAccessManager(this))
{
}

PackageDownload::~PackageDownload()
{
    for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>()) {
        reply->disconnect(this);
        reply->abort();
    }
    if (!m_done)
        discardPart();
}

void PackageDownload::start(bool reuseExisting)
{
    m_reuseExisting = reuseExisting;
    if (!isTrustedSource(m_package) || m_package.fileName().isEmpty()) {
        // Told from the event loop, as every other ending is.
        QMetaObject::invokeMethod(this, [this] { finish(DownloadOutcome::NotTrusted, m_package.toDisplayString()); },
                                  Qt::QueuedConnection);
        return;
    }
    QNetworkReply *reply = m_network->get(networkRequest(checksumUrl(m_package), m_timeoutMs));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        checksumArrived(reply);
    });
}

void PackageDownload::checksumArrived(QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError) {
        finish(DownloadOutcome::NoChecksum, reply->errorString());
        return;
    }
    // A checksum file is one line; anything longer is not one.
    m_checksum = parseChecksumFile(reply->read(4096));
    if (m_checksum.isEmpty()) {
        finish(DownloadOutcome::BadChecksum, checksumUrl(m_package).toDisplayString());
        return;
    }
    if (m_reuseExisting && QFile::exists(m_path))
        checkExisting();
    else
        fetchPackage();
}

void PackageDownload::checkExisting()
{
    QFile existing(m_path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!existing.open(QIODevice::ReadOnly) || !hash.addData(&existing)) {
        finish(DownloadOutcome::CannotWrite, existing.errorString());
        return;
    }
    existing.close();
    if (hash.result() == m_checksum) {
        finish(DownloadOutcome::Ready);
    } else {
        QFile::remove(m_path);
        finish(DownloadOutcome::Mismatch);
    }
}

void PackageDownload::fetchPackage()
{
    // A ".part" left by a run that was killed is ours to replace.
    m_part.setFileName(m_path + QStringLiteral(".part"));
    QFile::remove(m_part.fileName());
    if (!m_part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        finish(DownloadOutcome::CannotWrite, m_part.errorString());
        return;
    }
    m_reply = m_network->get(networkRequest(m_package, m_timeoutMs));
    connect(m_reply, &QNetworkReply::readyRead, this, &PackageDownload::packageData);
    connect(m_reply, &QNetworkReply::finished, this, &PackageDownload::packageArrived);
}

void PackageDownload::packageData()
{
    if (m_done || !m_reply->isReadable())
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid())
        m_expected = length.toLongLong();
    const QByteArray bytes = m_reply->readAll();
    if (bytes.isEmpty())
        return;
    if (m_part.write(bytes) != bytes.size()) {
        finish(DownloadOutcome::CannotWrite, m_part.errorString());
        return;
    }
    m_hash.addData(bytes);
    m_received += bytes.size();
    Q_EMIT progress(m_received, m_expected);
}

void PackageDownload::packageArrived()
{
    m_reply->deleteLater();
    packageData();
    if (m_done)
        return;
    const bool shortOfAnnounced = m_expected >= 0 && m_received < m_expected;
    if (m_reply->error() != QNetworkReply::NoError && !shortOfAnnounced) {
        finish(DownloadOutcome::Failed, m_reply->errorString());
        return;
    }
    if (shortOfAnnounced) {
        finish(DownloadOutcome::Truncated);
        return;
    }
    if (!m_part.flush()) {
        finish(DownloadOutcome::CannotWrite, m_part.errorString());
        return;
    }
    if (m_hash.result() != m_checksum) {
        finish(DownloadOutcome::Mismatch);
        return;
    }
    m_part.close();
    // The package the user asked to fetch again, or one left by an earlier
    // run, gives way to the one just checked.
    QFile::remove(m_path);
    if (!m_part.rename(m_path)) {
        finish(DownloadOutcome::CannotWrite, m_part.errorString());
        return;
    }
    finish(DownloadOutcome::Ready);
}

void PackageDownload::cancel()
{
    if (m_done)
        return;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    finish(DownloadOutcome::Cancelled);
}

void PackageDownload::finish(DownloadOutcome outcome, const QString &detail)
{
    if (m_done)
        return;
    m_done = true;
    m_outcome = outcome;
    m_detail = detail;
    if (outcome != DownloadOutcome::Ready)
        discardPart();
    Q_EMIT finished();
}

void PackageDownload::discardPart()
{
    m_part.close();
    if (!m_part.fileName().isEmpty())
        QFile::remove(m_part.fileName());
}

} // namespace tarvello::update

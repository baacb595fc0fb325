#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace tarvello::update {

// How fetching a package ended. Only Ready leaves a file behind.
enum class DownloadOutcome {
    Ready,           // the package is at its path and matches its published SHA-256
    NotTrusted,      // the address is neither HTTPS nor this machine: nothing fetched
    NoChecksum,      // the checksum file could not be fetched: the package was not
    BadChecksum,     // the checksum file holds no SHA-256: the package was not fetched
    Failed,          // the package could not be fetched (see detail())
    Truncated,       // fewer bytes arrived than announced: the file was deleted
    Mismatch,        // the bytes do not match the checksum: the file was deleted
    CannotWrite,     // the file could not be written in the folder (see detail())
    Cancelled,       // cancel() was called: the partial file was deleted
};

// Downloads a package into a folder, in the background with progress, and
// checks it against the SHA-256 published beside it ("<package>.sha256", in
// the format sha256sum writes) before anything else may use it. The bytes go
// to "<name>.part" first; only a package that matches takes its own name, and
// every failure deletes what was written. finished() is emitted once.
class PackageDownload : public QObject
{
    Q_OBJECT
public:
    PackageDownload(QUrl package, QString folder, int timeoutMs = 30000, QObject *parent = nullptr);
    ~PackageDownload() override;

    // The package's path in the folder (the last part of its address).
    const QString &path() const { return m_path; }

    // Fetches the checksum, then the package; with reuseExisting, a file
    // already at path() is checked instead of fetched again.
    void start(bool reuseExisting = false);
    void cancel();

    DownloadOutcome outcome() const { return m_outcome; }
    // The reason of a failure as the system or the server gave it.
    const QString &detail() const { return m_detail; }
    qint64 received() const { return m_received; }
    // The length the server announced (-1 when it announced none).
    qint64 expected() const { return m_expected; }

Q_SIGNALS:
    void progress(qint64 received, qint64 expected);
    void finished();

private:
    void checksumArrived(QNetworkReply *reply);
    void fetchPackage();
    void packageData();
    void packageArrived();
    void checkExisting();
    void finish(DownloadOutcome outcome, const QString &detail = {});
    void discardPart();

    QUrl m_package;
    QString m_path;
    int m_timeoutMs;
    bool m_reuseExisting = false;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QByteArray m_checksum;
    QFile m_part;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    qint64 m_received = 0;
    qint64 m_expected = -1;
    bool m_done = false;
    DownloadOutcome m_outcome = DownloadOutcome::Failed;
    QString m_detail;
};

// The SHA-256 a checksum file gives (its first word, 64 hexadecimal digits),
// as raw bytes; empty when it holds none.
QByteArray parseChecksumFile(const QByteArray &bytes);

} // namespace tarvello::update

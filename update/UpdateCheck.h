#pragma once

#include "update/Version.h"

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace tarvello::update {

// What asking the site gave.
enum class CheckOutcome {
    Newer,        // a newer version, with its release notes when they were asked for
    NotNewer,     // the running version, or an older one
    Empty,        // the version file is empty
    NotAVersion,  // the version file holds something else (an error page)
    NoAnswer,     // no connection, an error status, or silence past the timeout
    NotesMissing, // a newer version whose release notes could not be fetched
};

// The newer version the site offers.
struct UpdateOffer {
    QString version;
    QString notes;
    QUrl package;
};

// One question to the site, asked in the background: the current version from
// the version file (or from a local file that stands in for it), then, for a
// newer version, the release notes. finished() is emitted once, later, from
// the event loop; nothing here waits.
class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    struct Request {
        QString site;          // the site address, without a trailing "/"
        QString running;       // the running version ("1.13.0")
        QString localVersionFile; // read instead of the site's file when it exists ("" for none)
        bool withNotes = true; // fetch the release notes of a newer version
        int timeoutMs = 30000; // a transfer silent for this long is given up
    };

    explicit UpdateCheck(Request request, QObject *parent = nullptr);
    ~UpdateCheck() override;

    void start();

    CheckOutcome outcome() const { return m_outcome; }
    const UpdateOffer &offer() const { return m_offer; }
    // The version text the site gave, as read ("" before an answer).
    const QString &announced() const { return m_announced; }

    // The most a version file or release notes may hold.
    static constexpr qint64 kTextLimit = 64 * 1024;

Q_SIGNALS:
    void finished();

private:
    void get(const QUrl &url, void (UpdateCheck::*then)(QNetworkReply *));
    void versionRead(const QByteArray &bytes);
    void versionArrived(QNetworkReply *reply);
    void notesArrived(QNetworkReply *reply);
    void finish(CheckOutcome outcome);

    Request m_request;
    QNetworkAccessManager *m_network = nullptr;
    CheckOutcome m_outcome = CheckOutcome::NoAnswer;
    UpdateOffer m_offer;
    QString m_announced;
};

} // namespace tarvello::update

#include "app/ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace tarvello::app::ui {

namespace {

constexpr int kTimeoutMs = 2000;
const QByteArray kRaise = QByteArrayLiteral("raise\n");
const QByteArray kDone = QByteArrayLiteral("ok\n");

} // namespace

SingleInstance::SingleInstance(const QString &settingsFolder, QObject *parent)
    : QObject(parent)
{
    const QByteArray hash =
        QCryptographicHash::hash(settingsFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    m_name = QStringLiteral("tarvello-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::raiseRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kTimeoutMs))
        return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(kTimeoutMs);
    // The answer tells that the request was taken; a silent peer still counts
    // as a running instance, since it accepted the connection.
    socket.waitForReadyRead(kTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Either a crashed run left its socket file behind, or another instance
        // started at the same moment: only a live one answers.
        if (raiseRunningInstance())
            return false;
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kRaise)
                    Q_EMIT raiseRequested();
                socket->write(kDone);
            });
        }
    });
    return true;
}

} // namespace tarvello::app::ui

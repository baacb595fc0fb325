#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace tarvello::test {

// An HTTP server on 127.0.0.1 for the update tests, answering each path with
// what the test gave it; any other path gets 404. It runs on the caller's
// event loop.
class LocalHttpServer
{
public:
    enum class Reply {
        Whole,     // status 200, Content-Length, the whole body
        Truncated, // the whole length announced, half the body sent, then closed
        NoLength,  // status 200, no Content-Length, the body, then closed
        Silent,    // the request is read and never answered
    };

    LocalHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }

    // An address where nothing listens: a port that was free a moment ago.
    static QString deadAddress()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    }

    void serve(const QString &path, const QByteArray &body, Reply reply = Reply::Whole)
    {
        m_routes.insert(path, {body, reply});
    }
    void remove(const QString &path) { m_routes.remove(path); }

    // "http://127.0.0.1:<port>", the site address the tests give the program.
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    // The paths asked for, in order.
    QStringList requested;

private:
    struct Route {
        QByteArray body;
        Reply reply;
    };

    void answer(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        m_pending.remove(socket);
        const QString path = QString::fromLatin1(requestLine.value(1));
        requested.append(path);
        const auto found = m_routes.constFind(path);
        if (found == m_routes.constEnd()) {
            send(socket, "404 Not Found", "not here", true);
            return;
        }
        const Route &route = *found;
        switch (route.reply) {
        case Reply::Whole:
            send(socket, "200 OK", route.body, true);
            break;
        case Reply::Truncated:
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(route.body.size())
                          + "\r\nConnection: close\r\n\r\n" + route.body.left(route.body.size() / 2));
            socket->disconnectFromHost();
            break;
        case Reply::NoLength:
            send(socket, "200 OK", route.body, false);
            break;
        case Reply::Silent:
            break;
        }
    }

    static void send(QTcpSocket *socket, const QByteArray &status, const QByteArray &body, bool withLength)
    {
        QByteArray head = "HTTP/1.1 " + status + "\r\n";
        if (withLength)
            head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        socket->write(head + "Connection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

} // namespace tarvello::test

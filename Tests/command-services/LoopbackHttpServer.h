#pragma once

#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace sorvane::testing {

// A tiny HTTP/1.1 server on 127.0.0.1 for download tests. Each path answers as its route
// says: a status, a body sent in paced chunks (so that progress can be seen), a length
// announced or not, a body cut short, or a transfer that stalls.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Route {
        int status = 200;
        QByteArray body;
        int chunkSize = 0;            // 0: the whole body at once
        bool announceLength = true;   // send Content-Length
        qint64 bytesToSend = -1;      // < body size: the connection closes early
        bool stallAfterFirstChunk = false; // then keeps the connection open, silent
        int pauseMs = 2;              // between chunks
    };

    LoopbackHttpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

    QMap<QString, Route> routes;
    QMap<QString, int> requests; // path -> how many times it was asked for

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void readRequest(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        m_buffers.remove(socket);
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        const QString path = requestLine.size() > 1 ? QString::fromLatin1(requestLine.at(1)) : QString();
        requests[path] += 1;
        Route fallback;
        fallback.status = 404;
        fallback.body = "not here";
        const Route route = routes.value(path, fallback);

        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " Status\r\nConnection: close\r\n";
        if (route.announceLength)
            head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
        head += "Content-Type: application/octet-stream\r\n\r\n";
        socket->write(head);

        const qint64 toSend = route.bytesToSend < 0 ? route.body.size() : route.bytesToSend;
        const QByteArray payload = route.body.left(toSend);
        const int chunk = route.chunkSize > 0 ? route.chunkSize : int(std::max<qsizetype>(payload.size(), 1));
        sendChunk(socket, payload, 0, chunk, route.stallAfterFirstChunk, route.pauseMs);
    }

    void sendChunk(QPointer<QTcpSocket> socket, QByteArray payload, qsizetype offset, int chunk, bool stall, int pauseMs)
    {
        if (!socket)
            return;
        socket->write(payload.mid(offset, chunk));
        offset += chunk;
        if (stall)
            return; // nothing more, and the connection stays open
        if (offset >= payload.size()) {
            socket->disconnectFromHost();
            return;
        }
        // Paced, so that the client sees the bytes arrive in several steps.
        QTimer::singleShot(pauseMs, this, [=, this] { sendChunk(socket, payload, offset, chunk, stall, pauseMs); });
    }

    QTcpServer m_server;
    QMap<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace sorvane::testing

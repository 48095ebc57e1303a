#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

namespace sorvane::testing {

// A small HTTP/1.1 server on 127.0.0.1 for download tests. Each path answers with
// a fixed response; every connection is closed after its one answer. With
// listenSecure() it speaks HTTPS with the certificate it is given.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray body;
        // Send "Content-Length" (else the end of the body is the closed connection).
        bool sendLength = true;
        // Announce this length instead of the body's (to send a short body).
        qint64 announcedLength = -1;
        // "Location" for a redirect.
        QByteArray location;
        // Body bytes per write, and a pause between writes (milliseconds).
        qint64 chunkSize = 256 * 1024;
        int chunkDelay = 0;
        // After this many body bytes, stop sending but keep the connection open.
        qint64 stallAfter = -1;
    };

    explicit LoopbackHttpServer(QObject *parent = nullptr);

    // Listens on a free port of 127.0.0.1.
    bool listen();
    // Listens for TLS connections (https:// addresses) with `configuration`'s
    // certificate and key.
    bool listenSecure(const QSslConfiguration &configuration);
    quint16 port() const { return m_port; }
    QUrl url(const QString &path) const;

    void route(const QString &path, const Response &response);
    // Requests seen for a path (query left out), from any thread.
    int requestCount(const QString &path) const;

private:
    void accept();
    void serve(QTcpSocket *socket, const QByteArray &requestHead);

    // A child, so the server can be moved to a thread of its own.
    QTcpServer *m_server = nullptr;
    bool m_secure = false;
    quint16 m_port = 0;
    QHash<QString, Response> m_routes;
    mutable QMutex m_mutex;
    QHash<QString, int> m_counts;
};

} // namespace sorvane::testing

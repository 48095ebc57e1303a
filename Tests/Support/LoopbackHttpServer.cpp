#include "LoopbackHttpServer.h"

#include <QMutexLocker>
#include <QPointer>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>

namespace sorvane::testing {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
}

bool LoopbackHttpServer::listen()
{
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        return false;
    m_port = m_server->serverPort();
    return true;
}

bool LoopbackHttpServer::listenSecure(const QSslConfiguration &configuration)
{
    auto *server = new QSslServer(this);
    server->setSslConfiguration(configuration);
    delete m_server;
    m_server = server;
    m_secure = true;
    // A TLS connection is announced when it arrives but can be taken only once its
    // handshake is done.
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &LoopbackHttpServer::accept);
    return listen();
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(m_secure ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(m_port)
                    .arg(path));
}

void LoopbackHttpServer::route(const QString &path, const Response &response)
{
    m_routes.insert(path, response);
}

int LoopbackHttpServer::requestCount(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_counts.value(path);
}

void LoopbackHttpServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
            if (head->endsWith("\r\n\r\n"))
                return; // already answering
            head->append(socket->readAll());
            const qsizetype end = head->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            head->truncate(end + 4);
            serve(socket, *head);
        });
    }
}

void LoopbackHttpServer::serve(QTcpSocket *socket, const QByteArray &requestHead)
{
    const QList<QByteArray> requestLine = requestHead.left(requestHead.indexOf("\r\n")).split(' ');
    QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine.at(1)) : QString();
    path = path.section(QLatin1Char('?'), 0, 0);
    {
        QMutexLocker lock(&m_mutex);
        ++m_counts[path];
    }
    const auto found = m_routes.constFind(path);
    Response response;
    if (found == m_routes.constEnd()) {
        response.status = 404;
        response.body = "no such file";
    } else {
        response = *found;
    }

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    head += "Connection: close\r\nContent-Type: application/octet-stream\r\n";
    if (response.sendLength)
        head += "Content-Length: "
            + QByteArray::number(response.announcedLength >= 0 ? response.announcedLength : response.body.size())
            + "\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    head += "\r\n";
    socket->write(head);

    // The body goes out a chunk at a time as the socket drains, so large bodies
    // are not copied into the socket's buffer whole.
    const QByteArray body = response.stallAfter >= 0 ? response.body.left(response.stallAfter) : response.body;
    const bool closeAtEnd = response.stallAfter < 0;
    auto offset = std::make_shared<qint64>(0);
    auto sendNext = std::make_shared<std::function<void()>>();
    QPointer<QTcpSocket> guard(socket);
    *sendNext = [guard, body, offset, closeAtEnd, response, sendNext] {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState)
            return;
        if (*offset >= body.size()) {
            if (closeAtEnd)
                guard->disconnectFromHost(); // after what is still buffered
            return;
        }
        if (response.chunkDelay == 0 && guard->bytesToWrite() > response.chunkSize)
            return; // bytesWritten calls again
        const qint64 size = std::min<qint64>(response.chunkSize, body.size() - *offset);
        guard->write(body.constData() + *offset, size);
        *offset += size;
        if (response.chunkDelay > 0)
            QTimer::singleShot(response.chunkDelay, guard, [sendNext] {
                if (*sendNext)
                    (*sendNext)();
            });
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, [sendNext, response] {
        if (response.chunkDelay == 0 && *sendNext)
            (*sendNext)();
    });
    // Break the function's reference to itself when the socket goes.
    connect(socket, &QObject::destroyed, [sendNext] { *sendNext = nullptr; });
    (*sendNext)();
}

} // namespace sorvane::testing

#include "FakeChatServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>

namespace sorvane::testing {

QJsonObject FakeChatServer::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

FakeChatServer::FakeChatServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeChatServer::accept);
    m_handler = [](const Request &) { return streamOf({QStringLiteral("Hello")}); };
}

bool FakeChatServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

QUrl FakeChatServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

QList<FakeChatServer::Request> FakeChatServer::requestsTo(const QByteArray &path) const
{
    QList<Request> found;
    for (const Request &request : m_requests) {
        if (request.path == path)
            found.append(request);
    }
    return found;
}

QByteArray FakeChatServer::contentEvent(const QString &content, const QByteArray &finishReason)
{
    const QJsonObject choice{{QStringLiteral("index"), 0},
                             {QStringLiteral("delta"), QJsonObject{{QStringLiteral("content"), content}}},
                             {QStringLiteral("finish_reason"),
                              finishReason.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromLatin1(finishReason))}};
    const QJsonObject chunk{{QStringLiteral("id"), QStringLiteral("chatcmpl-1")},
                            {QStringLiteral("object"), QStringLiteral("chat.completion.chunk")},
                            {QStringLiteral("choices"), QJsonArray{choice}}};
    return "data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact) + "\n\n";
}

QByteArray FakeChatServer::finishEvent(const QByteArray &reason)
{
    return "data: {\"id\":\"chatcmpl-1\",\"object\":\"chat.completion.chunk\",\"choices\":[{\"index\":0,"
           "\"delta\":{},\"finish_reason\":\"" +
           reason + "\"}]}\n\n";
}

QByteArray FakeChatServer::doneEvent()
{
    return "data: [DONE]\n\n";
}

FakeChatServer::Reply FakeChatServer::streamOf(const QStringList &pieces)
{
    Reply reply;
    for (const QString &piece : pieces)
        reply.writes.append(contentEvent(piece));
    reply.writes.append(finishEvent());
    reply.writes.append(doneEvent());
    return reply;
}

FakeChatServer::Reply FakeChatServer::error(int status, const QByteArray &json)
{
    Reply reply;
    reply.status = status;
    reply.contentType = "application/json";
    reply.writes = {json};
    return reply;
}

void FakeChatServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeChatServer::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qint64 length = request.headers.value("content-length").toLongLong();
    if (buffer.size() - (headEnd + 4) < length)
        return; // the rest of the body is still on its way
    request.body = buffer.mid(headEnd + 4, length);
    buffer.remove(0, headEnd + 4 + length);
    m_requests.append(request);
    Q_EMIT requestReceived();
    answer(socket, request);
}

void FakeChatServer::answer(QTcpSocket *socket, const Request &request)
{
    const Reply reply = m_handler(request);
    if (reply.silent)
        return;
    const QByteArray reason = reply.status == 200 ? "OK" : "Status";
    QByteArray extra;
    for (const auto &[name, value] : reply.headers)
        extra += "\r\n" + name + ": " + value;
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason +
                  "\r\nContent-Type: " + reply.contentType + extra +
                  "\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
    socket->flush();
    if (reply.firstDelay > 0) {
        QTimer::singleShot(reply.firstDelay, this,
                           [this, socket = QPointer<QTcpSocket>(socket), reply] { writeNext(socket, reply, 0); });
        return;
    }
    writeNext(socket, reply, 0);
}

void FakeChatServer::writeNext(QPointer<QTcpSocket> socket, Reply reply, int index)
{
    if (!socket)
        return;
    if (index >= reply.writes.size()) {
        if (reply.stall) {
            socket->flush();
            Q_EMIT stalled();
            return;
        }
        if (!reply.cutOff)
            socket->write("0\r\n\r\n");
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    const QByteArray &bytes = reply.writes[index];
    socket->write(QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n");
    socket->flush();
    m_written += bytes.size();
    Q_EMIT wrote(m_written);
    const auto next = [this, socket, reply, index] { writeNext(socket, reply, index + 1); };
    if (reply.delay > 0)
        QTimer::singleShot(reply.delay, this, next);
    else
        QMetaObject::invokeMethod(this, next, Qt::QueuedConnection);
}

} // namespace sorvane::testing

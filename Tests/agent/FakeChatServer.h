#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

namespace sorvane::testing {

// A loopback HTTP/1.1 server that plays a chat-completions provider: it records every
// request and answers as its handler says, streaming server-sent events in chunked
// transfer encoding, one HTTP chunk per scripted write.
class FakeChatServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        QJsonObject json() const;
    };

    struct Reply {
        int status = 200;
        QByteArray contentType = "text/event-stream";
        // Written one after another, each as its own HTTP chunk (after `delay` ms).
        QList<QByteArray> writes;
        int delay = 0;
        // Wait this long (ms) after the headers before the first write, as a model that thinks.
        int firstDelay = 0;
        // Close the connection after the writes without ending the body.
        bool cutOff = false;
        // After the writes, send nothing more and keep the connection open.
        bool stall = false;
        // Never answer (the connection stays open).
        bool silent = false;
        // More header lines ("Location", ...).
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    using Handler = std::function<Reply(const Request &)>;

    explicit FakeChatServer(QObject *parent = nullptr);

    // Listens on 127.0.0.1 (port 0: any free one).
    bool listen(quint16 port = 0);
    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &path = {}) const;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    const QList<Request> &requests() const { return m_requests; }
    QList<Request> requestsTo(const QByteArray &path) const;
    void clearRequests() { m_requests.clear(); }

    // A stream event with one content delta, in OpenAI's chunk shape.
    static QByteArray contentEvent(const QString &content, const QByteArray &finishReason = {});
    static QByteArray finishEvent(const QByteArray &reason = "stop");
    static QByteArray doneEvent();
    // A whole answer: one content event per piece, a finish event and "[DONE]".
    static Reply streamOf(const QStringList &pieces);
    static Reply error(int status, const QByteArray &json);

Q_SIGNALS:
    void requestReceived();
    // After every write of a reply to the socket (the bytes written so far).
    void wrote(qint64 totalBytes);
    // A stalling reply has written all it will write.
    void stalled();

private:
    void accept();
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);
    void writeNext(QPointer<QTcpSocket> socket, Reply reply, int index);

    QTcpServer m_server;
    Handler m_handler;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_pending;
    qint64 m_written = 0;
};

} // namespace sorvane::testing

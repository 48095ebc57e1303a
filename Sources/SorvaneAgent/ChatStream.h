#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace sorvane::agent {

// Splits an OpenAI-style server-sent event stream into what it says, chunk by chunk.
class ChatStreamDecoder {
public:
    struct Output {
        QString text;                  // content of the deltas in this chunk, in order
        QStringList pieces;            // each non-empty content delta
        std::optional<QString> error;  // an error the server sent inside the stream
        bool contextTooLarge = false;  // that error says the prompt does not fit the model's context
        bool finished = false;         // a finish reason or "[DONE]" was seen
        bool cutForLength = false;     // the server ended the answer at its length limit
        bool lineTooLong = false;      // a line grew past maxLineBytes without ending
    };

    // Longest event line read; a stream that sends a longer one is not a chat stream.
    static constexpr qsizetype maxLineBytes = qsizetype(1) * 1024 * 1024;

    // Bytes as they arrive; a line split across chunks is read when its newline comes.
    Output feed(const QByteArray &bytes);
    bool sawEnd() const { return m_sawEnd; }

private:
    void readLine(QByteArrayView line, Output &output);

    QByteArray m_buffer;
    bool m_sawEnd = false;
};

// Holds back a reasoning model's leading "<think>…</think>" block, which some local servers
// pass on as part of the answer, so that only the answer is shown and pasted.
class LeadingThoughtFilter {
public:
    // The text of this piece that belongs to the answer (may be empty).
    QString feed(const QString &piece);
    // At the end of the stream: text held back that turned out not to open a thought.
    QString finish();

private:
    enum class State { Undecided, InThought, AfterThought, Passing };
    State m_state = State::Undecided;
    QString m_held;
};

// One streaming chat completion over HTTP(S): POSTs the body, reads the event stream and
// reports deltas, then the whole answer or one message a user can act on.
class ChatStream : public QObject {
    Q_OBJECT
public:
    // The longest answer passed on, in UTF-16 units: its completed event, escaped, stays well
    // below the application's 32 MB line limit.
    static constexpr qsizetype maxAnswerLength = qsizetype(4) * 1024 * 1024;
    // How much of an error body is kept for its message.
    static constexpr qsizetype maxErrorBodyBytes = 64 * 1024;

    // Why a stream failed, where the protocol has a code for it.
    enum class Failure { Other, ContextTooLarge };

    struct Options {
        QUrl url;
        QString apiKey;      // sent as a bearer token when not empty
        QJsonObject body;    // "stream": true is added
        QString serviceName; // who answers, as messages name it ("OpenAI", "llama-server")
        // Longest wait for the server to accept the request (its headers) or send its first byte;
        // zero: no limit of its own. Once it answers, a model may think for a long while before
        // and between chunks, so only the caller's deadline holds.
        std::chrono::milliseconds firstByteLimit = std::chrono::seconds(25);
        // Leave out a leading "<think>" block of the answer.
        bool dropLeadingThought = false;
        // Said in place of the usual network advice when the server cannot be reached or goes
        // away (a local server that stopped); empty: the advice for a remote service.
        QString unreachableMessage;
        // The model, as messages name it.
        QString modelName;
    };

    ChatStream(QNetworkAccessManager *network, Options options, QObject *parent = nullptr);
    ~ChatStream() override;

    void start();
    // Ends the exchange; nothing more is reported.
    void abort();

Q_SIGNALS:
    // The server accepted the request and started answering.
    void responding();
    void delta(const QString &text);
    void finished(const QString &answer);
    void failed(const QString &message, sorvane::agent::ChatStream::Failure failure);

private:
    void headersArrived();
    void markResponding();
    void readAvailable();
    void pass(const QString &text);
    void replyFinished();
    void fail(const QString &message, Failure failure = Failure::Other);
    void failForServerError(int status, const QByteArray &body);
    QString statusMessage(int status, const QByteArray &body) const;
    static QString contextTooLargeMessage();
    QString networkMessage() const;

    QNetworkAccessManager *m_network;
    Options m_options;
    QPointer<QNetworkReply> m_reply;
    QTimer m_firstByteTimer;
    ChatStreamDecoder m_decoder;
    LeadingThoughtFilter m_thoughts;
    QString m_answer;
    QByteArray m_errorBody;
    bool m_responding = false;
    bool m_done = false;
};

} // namespace sorvane::agent

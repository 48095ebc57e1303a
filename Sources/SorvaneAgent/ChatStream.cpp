#include "SorvaneAgent/ChatStream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace sorvane::agent {

namespace {

// The message of an error object, in the shapes OpenAI, Gemini and Mistral use.
QString errorText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isArray())
        return value.toArray().isEmpty() ? QString() : errorText(value.toArray().first());
    const QJsonObject object = value.toObject();
    for (const char *key : {"error", "message", "detail"}) {
        const QJsonValue inner = object.value(QLatin1String(key));
        if (!inner.isUndefined() && !inner.isNull()) {
            const QString text = errorText(inner);
            if (!text.isEmpty())
                return text;
        }
    }
    return {};
}

// A delta's content: text, or (from a reasoning model such as Mistral's) a list of typed parts
// of which only the "text" parts belong to the answer; its "thinking" parts do not.
QString contentText(const QJsonValue &content)
{
    if (!content.isArray())
        return content.toString();
    QString text;
    for (const QJsonValue &part : content.toArray()) {
        const QJsonObject object = part.toObject();
        if (object.value(QLatin1String("type")).toString() == QLatin1String("text"))
            text += object.value(QLatin1String("text")).toString();
    }
    return text;
}

QString shortened(QString text)
{
    text = text.simplified();
    constexpr int longest = 300;
    if (text.size() > longest)
        text = text.left(longest - 1) + QChar(0x2026);
    return text;
}

QJsonValue bodyValue(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QString serverMessage(const QByteArray &body)
{
    return shortened(errorText(bodyValue(body)));
}

// Whether an error says the prompt does not fit the model's context: llama-server's
// "exceed_context_size_error" and the providers' "context_length_exceeded".
bool saysContextTooLarge(const QJsonValue &value)
{
    if (value.isArray())
        return !value.toArray().isEmpty() && saysContextTooLarge(value.toArray().first());
    const QJsonObject object = value.toObject();
    if (object.contains(QLatin1String("error")) && saysContextTooLarge(object.value(QLatin1String("error"))))
        return true;
    for (const char *key : {"type", "code"}) {
        const QString text = object.value(QLatin1String(key)).toString();
        if (text == QLatin1String("exceed_context_size_error") || text == QLatin1String("context_length_exceeded"))
            return true;
    }
    const QString message = object.value(QLatin1String("message")).toString();
    return message.contains(QLatin1String("exceeds the available context size"), Qt::CaseInsensitive) ||
           message.contains(QLatin1String("maximum context length"), Qt::CaseInsensitive);
}

} // namespace

ChatStreamDecoder::Output ChatStreamDecoder::feed(const QByteArray &bytes)
{
    Output output;
    m_buffer += bytes;
    qsizetype start = 0;
    for (qsizetype newline = m_buffer.indexOf('\n'); newline >= 0; newline = m_buffer.indexOf('\n', start)) {
        QByteArrayView line(m_buffer.constData() + start, newline - start);
        if (line.endsWith('\r'))
            line.chop(1);
        readLine(line, output);
        start = newline + 1;
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > maxLineBytes) {
        // A line this long is not an event of a chat stream; it is not kept.
        m_buffer.clear();
        output.lineTooLong = true;
    }
    return output;
}

void ChatStreamDecoder::readLine(QByteArrayView line, Output &output)
{
    if (line.startsWith("error:")) {
        // llama-server's own error line inside the stream: "error: {"code":…,"message":…}".
        const QByteArrayView payload = line.sliced(6).trimmed();
        const QJsonDocument document = QJsonDocument::fromJson(payload.toByteArray());
        const QJsonValue value = document.isObject() ? QJsonValue(document.object()) : QJsonValue();
        QString text = value.isObject() ? errorText(value) : QString();
        if (text.isEmpty() && !document.isObject())
            text = QString::fromUtf8(payload);
        output.error = shortened(text);
        output.contextTooLarge = saysContextTooLarge(value);
        return;
    }
    if (!line.startsWith("data:"))
        return; // blank separators, comments, "event:" and "id:" fields
    const QByteArrayView payload = line.sliced(5).trimmed();
    if (payload == "[DONE]") {
        m_sawEnd = true;
        output.finished = true;
        return;
    }
    const QJsonObject chunk = QJsonDocument::fromJson(payload.toByteArray()).object();
    if (chunk.contains(QLatin1String("error"))) {
        output.error = shortened(errorText(chunk));
        output.contextTooLarge = saysContextTooLarge(chunk);
        return;
    }
    for (const QJsonValue &choice : chunk.value(QLatin1String("choices")).toArray()) {
        const QJsonObject object = choice.toObject();
        const QString content = contentText(object.value(QLatin1String("delta")).toObject().value(QLatin1String("content")));
        if (!content.isEmpty()) {
            output.text += content;
            output.pieces.append(content);
        }
        const QJsonValue reason = object.value(QLatin1String("finish_reason"));
        if (reason.isString() && !reason.toString().isEmpty()) {
            m_sawEnd = true;
            output.finished = true;
            if (reason.toString() == QLatin1String("length"))
                output.cutForLength = true;
        }
    }
}

namespace {
const QString thoughtOpen = QStringLiteral("<think>");
const QString thoughtClose = QStringLiteral("</think>");

qsizetype leadingSpace(const QString &text)
{
    qsizetype count = 0;
    while (count < text.size() && text.at(count).isSpace())
        ++count;
    return count;
}
} // namespace

QString LeadingThoughtFilter::feed(const QString &piece)
{
    if (m_state == State::Passing)
        return piece;
    const qsizetype searchFrom = std::max<qsizetype>(0, m_held.size() - thoughtClose.size());
    m_held += piece;
    if (m_state == State::Undecided) {
        const QStringView start = QStringView(m_held).sliced(leadingSpace(m_held));
        if (start.size() < thoughtOpen.size() && thoughtOpen.startsWith(start))
            return {}; // it may still become "<think>"
        if (!start.startsWith(thoughtOpen)) {
            m_state = State::Passing;
            return std::exchange(m_held, {});
        }
        m_state = State::InThought;
    }
    if (m_state == State::InThought) {
        const qsizetype close = m_held.indexOf(thoughtClose, searchFrom);
        if (close < 0)
            return {};
        m_held.remove(0, close + thoughtClose.size());
        m_state = State::AfterThought;
    }
    // The blank lines between the thought and the answer are not part of the answer.
    m_held.remove(0, leadingSpace(m_held));
    if (m_held.isEmpty())
        return {};
    m_state = State::Passing;
    return std::exchange(m_held, {});
}

QString LeadingThoughtFilter::finish()
{
    // A thought that never closed leaves no answer.
    return m_state == State::Undecided ? std::exchange(m_held, {}) : QString();
}

ChatStream::ChatStream(QNetworkAccessManager *network, Options options, QObject *parent)
    : QObject(parent), m_network(network), m_options(std::move(options))
{
    m_firstByteTimer.setSingleShot(true);
    m_firstByteTimer.setInterval(m_options.firstByteLimit);
    if (m_options.modelName.isEmpty())
        m_options.modelName = m_options.serviceName;
    connect(&m_firstByteTimer, &QTimer::timeout, this, [this] {
        fail(m_options.serviceName + QStringLiteral(" did not answer in time. Check your connection and try again."));
    });
}

ChatStream::~ChatStream()
{
    abort();
}

void ChatStream::start()
{
    QJsonObject body = m_options.body;
    body.insert(QStringLiteral("stream"), true);
    QNetworkRequest request(m_options.url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("Accept", "text/event-stream");
    if (!m_options.apiKey.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + m_options.apiKey.toUtf8());
    // A stream is read as it comes; its end is the server's to say.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // The key goes to the address it was meant for, never on to another host, port or scheme.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    m_reply = m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ChatStream::headersArrived);
    connect(m_reply, &QNetworkReply::readyRead, this, &ChatStream::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &ChatStream::replyFinished);
    // A large screenshot may take a while to send on a slow line: the wait counts from the last
    // bytes that went out.
    connect(m_reply, &QNetworkReply::uploadProgress, this, [this] {
        if (m_firstByteTimer.isActive())
            m_firstByteTimer.start();
    });
    if (m_options.firstByteLimit.count() > 0)
        m_firstByteTimer.start();
}

void ChatStream::abort()
{
    m_done = true;
    m_firstByteTimer.stop();
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void ChatStream::headersArrived()
{
    // A reasoning model may think for a long while before its first chunk; once the provider has
    // accepted the request it is answering, and only the caller's deadline holds.
    if (m_done || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status >= 300)
        return;
    m_firstByteTimer.stop();
    markResponding();
}

void ChatStream::markResponding()
{
    if (m_responding)
        return;
    m_responding = true;
    Q_EMIT responding();
}

void ChatStream::readAvailable()
{
    if (m_done || !m_reply)
        return;
    m_firstByteTimer.stop();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray bytes = m_reply->readAll();
    if (status == 0)
        return; // no answer from a server at all: said when the reply ends
    if (status >= 300) {
        // Told when the reply ends; only its start can be of use in a message, so the rest is
        // not waited for.
        m_errorBody += bytes.left(std::max<qsizetype>(0, maxErrorBodyBytes - m_errorBody.size()));
        if (m_errorBody.size() >= maxErrorBodyBytes)
            failForServerError(status, m_errorBody);
        return;
    }
    markResponding();
    if (m_done)
        return;
    const ChatStreamDecoder::Output output = m_decoder.feed(bytes);
    if (output.lineTooLong) {
        fail(m_options.serviceName + QStringLiteral(" sent an answer Sorvane could not read. Try again."));
        return;
    }
    for (const QString &piece : output.pieces) {
        pass(m_options.dropLeadingThought ? m_thoughts.feed(piece) : piece);
        if (m_done)
            return;
    }
    if (output.error) {
        if (output.contextTooLarge) {
            fail(contextTooLargeMessage(), Failure::ContextTooLarge);
            return;
        }
        fail(m_options.serviceName + QStringLiteral(" stopped with an error: ") +
             (output.error->isEmpty() ? QStringLiteral("no reason given.") : *output.error));
        return;
    }
    if (output.cutForLength) {
        // Not an answer to paste over the user's text: the rest of it is missing.
        fail(QStringLiteral("The answer was cut short: ") + m_options.modelName +
             QStringLiteral(" reached the longest answer it may give. Ask for a shorter answer, or split the request."));
        return;
    }
    if (output.finished && m_decoder.sawEnd()) {
        if (m_options.dropLeadingThought) {
            pass(m_thoughts.finish());
            if (m_done)
                return;
        }
        // Whatever follows the end (a "[DONE]" after the finish reason) changes nothing.
        m_done = true;
        m_firstByteTimer.stop();
        if (QNetworkReply *reply = m_reply.data()) {
            m_reply = nullptr;
            reply->disconnect(this);
            reply->deleteLater();
        }
        Q_EMIT finished(m_answer);
    }
}

void ChatStream::pass(const QString &text)
{
    if (text.isEmpty())
        return;
    if (m_answer.size() + text.size() > maxAnswerLength) {
        fail(QStringLiteral("The answer from ") + m_options.modelName +
             QStringLiteral(" grew too long to use (over %1 million characters). Ask for a shorter answer.")
                 .arg(maxAnswerLength / (1024 * 1024)));
        return;
    }
    m_answer += text;
    Q_EMIT delta(text);
}

void ChatStream::replyFinished()
{
    if (m_done || !m_reply)
        return;
    readAvailable();
    if (m_done || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() == QNetworkReply::InsecureRedirectError) {
        failForServerError(307, {});
        return;
    }
    if (status >= 300) {
        m_errorBody += m_reply->read(std::max<qsizetype>(0, maxErrorBodyBytes - m_errorBody.size()));
        failForServerError(status, m_errorBody);
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError && status == 0) {
        fail(networkMessage());
        return;
    }
    // The connection ended without the stream's own end.
    fail(QStringLiteral("The answer from ") + m_options.serviceName +
         QStringLiteral(" was cut off before it was complete. Try again."));
}

void ChatStream::fail(const QString &message, Failure failure)
{
    if (m_done)
        return;
    abort();
    Q_EMIT failed(message, failure);
}

void ChatStream::failForServerError(int status, const QByteArray &body)
{
    if (status < 400) {
        // A redirect to the same address is followed; one that is left is to somewhere else.
        fail(m_options.serviceName + QStringLiteral(" sent the request on to another address, which Sorvane does not "
                                                    "follow with your key. Check the service's address."));
        return;
    }
    if (status == 400 && saysContextTooLarge(bodyValue(body))) {
        fail(contextTooLargeMessage(), Failure::ContextTooLarge);
        return;
    }
    fail(statusMessage(status, body));
}

QString ChatStream::contextTooLargeMessage()
{
    return QStringLiteral("The selected context is too large for this writing model.");
}

QString ChatStream::statusMessage(int status, const QByteArray &body) const
{
    const QString &name = m_options.serviceName;
    const QString detail = serverMessage(body);
    if (status == 401 || status == 403)
        // The server's own words may quote part of the key, so they are not repeated.
        return name + QStringLiteral(" rejected the API key. Check the key in Sorvane's settings and try again.");
    if (status == 429)
        return name + QStringLiteral(" is limiting requests, or the account has run out of credit. "
                                     "Wait a moment or check your plan, then try again.");
    if (status >= 500)
        return name + QStringLiteral(" had a problem answering (HTTP %1). Try again in a moment.").arg(status);
    const QString message = name + QStringLiteral(" refused the request (HTTP %1)").arg(status);
    if (detail.isEmpty())
        return message + QLatin1Char('.');
    return message + QStringLiteral(": ") + detail;
}

QString ChatStream::networkMessage() const
{
    const QString &name = m_options.serviceName;
    if (!m_options.unreachableMessage.isEmpty())
        return m_options.unreachableMessage;
    switch (m_reply->error()) {
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("Could not make a secure connection to ") + name + QStringLiteral(".");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("The answer from ") + name +
               QStringLiteral(" was cut off before it was complete. Try again.");
    default:
        break;
    }
    return QStringLiteral("Could not reach ") + name + QStringLiteral(". Check your internet connection and try again.");
}

} // namespace sorvane::agent

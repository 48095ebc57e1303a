#include "SorvaneAgent/EventOutput.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace sorvane::agent {

QByteArray EventOutput::encode(const QString &requestID, const char *kind, const QString &phase,
                               const QString &text, const QString &code)
{
    QJsonObject object{{QStringLiteral("version"), 1}, {QStringLiteral("kind"), QLatin1String(kind)}};
    if (!requestID.isEmpty())
        object.insert(QStringLiteral("requestID"), requestID);
    if (!phase.isEmpty())
        object.insert(QStringLiteral("phase"), phase);
    if (!text.isNull())
        object.insert(QStringLiteral("text"), text);
    if (!code.isEmpty())
        object.insert(QStringLiteral("code"), code);
    // Compact JSON escapes line breaks inside strings, so the only newline is the last byte.
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void EventOutput::phase(const QString &requestID, const QString &phase, const QString &detail)
{
    send(encode(requestID, "phase", phase, detail.isEmpty() ? QString() : detail, {}));
}

void EventOutput::delta(const QString &requestID, const QString &text)
{
    send(encode(requestID, "delta", {}, text, {}));
}

void EventOutput::completed(const QString &requestID, const QString &text)
{
    send(encode(requestID, "completed", {}, text.isNull() ? QStringLiteral("") : text, {}));
}

void EventOutput::warning(const QString &requestID, const QString &text)
{
    send(encode(requestID, "warning", {}, text, {}));
}

void EventOutput::error(const QString &requestID, const QString &text, const QString &code)
{
    send(encode(requestID, "error", {}, text, code));
}

void EventOutput::send(const QByteArray &line)
{
    qsizetype done = 0;
    while (m_open && done < line.size()) {
        const ssize_t written = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // An output that does not block, with a reader that is behind: wait until it takes
            // more. A reader that has gone shows as a failed write next time round.
            pollfd writable{m_fd, POLLOUT, 0};
            if (::poll(&writable, 1, -1) >= 0 || errno == EINTR)
                continue;
        }
        if (written <= 0) {
            m_open = false;
            return;
        }
        done += written;
    }
}

} // namespace sorvane::agent

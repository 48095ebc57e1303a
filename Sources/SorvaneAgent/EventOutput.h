#pragma once

#include <QByteArray>
#include <QString>

namespace sorvane::agent {

// Writes event lines (protocol version 1) to one file descriptor, whole lines only.
class EventOutput {
public:
    explicit EventOutput(int fd) : m_fd(fd) {}

    void phase(const QString &requestID, const QString &phase, const QString &detail = {});
    void delta(const QString &requestID, const QString &text);
    void completed(const QString &requestID, const QString &text);
    void warning(const QString &requestID, const QString &text);
    // An empty request id makes an event about the runtime as a whole.
    void error(const QString &requestID, const QString &text, const QString &code = {});

    // False once a write failed: the reader has gone.
    bool isOpen() const { return m_open; }

    // One event line, newline included.
    static QByteArray encode(const QString &requestID, const char *kind, const QString &phase, const QString &text,
                             const QString &code);

private:
    void send(const QByteArray &line);

    int m_fd;
    bool m_open = true;
};

} // namespace sorvane::agent

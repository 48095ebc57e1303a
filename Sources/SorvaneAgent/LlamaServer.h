#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>

namespace sorvane::agent {

// The local inference server (llama.cpp's llama-server) for one model at a time. It is kept
// between requests for the same model, started again for another, and stopped with its whole
// process group; the kernel ends it too if the runtime dies.
class LlamaServer : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString program;
        QString modelPath;
        QString projectorPath; // empty for a model without images
        QString modelName;     // for messages
        int contextTokens = defaultContextTokens;
        friend bool operator==(const Setup &a, const Setup &b)
        {
            return a.program == b.program && a.modelPath == b.modelPath && a.projectorPath == b.projectorPath &&
                   a.contextTokens == b.contextTokens;
        }
    };

    // The context a model gets when its descriptor names none: room for a long selected text
    // and its answer, within the memory of a small model on a laptop.
    static constexpr int defaultContextTokens = 8192;

    // The speech engine's rule: two fewer than the processors, at least 2 and at most 8.
    static int threadCount(int processors);
    // The line of the server's error output that names why it stopped: the first error line,
    // without the log's time and level; else its last line.
    static QString causeLine(const QByteArray &errorOutput);

    explicit LlamaServer(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~LlamaServer() override;

    // Makes a server for this setup ready, then says ready() or failed() once (never before
    // this returns). A server still loading from an earlier request is waited for again.
    void prepare(const Setup &setup);
    // No more reports for the current prepare; the server keeps running.
    void forget();
    // Stops the server and its process group (SIGTERM, then SIGKILL after a grace).
    void stop();

    // http://127.0.0.1:<port> of the running server.
    QUrl baseUrl() const;
    qint64 processId() const;

    // How long a model may take to load before the request gives up (it keeps loading).
    void setLoadLimit(std::chrono::milliseconds limit) { m_loadLimit = limit; }

Q_SIGNALS:
    void ready();
    void failed(const QString &message);

private:
    void launch();
    void pollHealth();
    void report(bool ok, const QString &message = {});
    void processEnded(int exitCode, QProcess::ExitStatus status);
    void readErrorOutput();

    QNetworkAccessManager *m_network;
    Setup m_setup;
    QPointer<QProcess> m_process;
    qint64 m_pid = 0;
    quint16 m_port = 0;
    bool m_healthy = false;
    bool m_waiting = false; // a prepare() awaits its report
    QTimer m_healthTimer;
    QTimer m_loadTimer;
    QPointer<QNetworkReply> m_healthReply;
    QByteArray m_stderrTail;
    QByteArray m_stderrLine;   // the line being received
    QString m_firstErrorLine;  // of this launch
    std::chrono::milliseconds m_loadLimit = std::chrono::seconds(25);
};

} // namespace sorvane::agent

#pragma once

#include "Command/AgentRuntimeError.h"
#include "Command/AgentRuntimeProtocol.h"
#include "Support/Result.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QUuid>
#include <QCoroTask>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QTimer;

namespace sorvane {

// Owns the Command runtime: one long-lived child process (sorvane-agent) spoken to in
// JSON lines. Serves one request at a time, under a model-load and a run time-out and a
// rolling limit on cloud requests, and retires the process whenever it can no longer be
// trusted; the next request starts a fresh one. Main thread only.
class AgentRuntimeService : public QObject {
    Q_OBJECT
public:
    using EventHandler = std::function<void(const AgentRuntimeEvent &)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using RunResult = Result<QString, AgentRunFailure>;

    struct Limits {
        // Time a run may take to reach phase "generating", and to finish.
        std::chrono::milliseconds modelLoadTimeout = std::chrono::seconds(30);
        std::chrono::milliseconds runTimeout = std::chrono::seconds(120);
        // Cloud requests allowed to start within one rolling window.
        int cloudRequestLimit = 10;
        std::chrono::milliseconds cloudRateLimitWindow = std::chrono::seconds(60);
        // A retired runtime gets this long after its input is closed before SIGTERM,
        // and as long again before its whole process group gets SIGKILL.
        std::chrono::milliseconds retireGrace = std::chrono::seconds(2);
        std::chrono::milliseconds killGrace = std::chrono::seconds(2);
        // Standard output without a newline beyond this is not a response.
        qsizetype maxLineBytes = qsizetype(32) * 1024 * 1024;
        // How much of the runtime's standard error is kept for messages.
        qsizetype stderrTailBytes = 8192;
    };

    struct Options {
        Limits limits;
        // The source of instants for the cloud window; the steady clock when empty.
        Clock clock;
        // The runtime program to start instead of the bundled one.
        std::optional<QString> executableOverride;
    };

    // With the default limits, the steady clock and the bundled runtime.
    explicit AgentRuntimeService(QObject *parent = nullptr);
    explicit AgentRuntimeService(Options options, QObject *parent = nullptr);
    // Waiting runs are answered as cancelled; every runtime process is stopped at once.
    ~AgentRuntimeService() override;

    // A helper program that ships with Sorvane ($SORVANE_<NAME>_PATH, beside the
    // program, ../libexec/sorvane/), or nothing.
    static std::optional<QString> bundledExecutable(const QString &name);
    // One request line, newline included.
    static QByteArray encodedLine(const AgentRuntimeRequest &request);

    // Starts the runtime unless it is running.
    Result<Done, AgentRuntimeError> ensureProcess();
    // Sends one request and returns the text of its "completed" event. Every event of
    // the request goes to onEvent first, on the main thread.
    QCoro::Task<RunResult> run(AgentRuntimeRequest request, EventHandler onEvent);
    // Ends the pending run with that id, if any (it gets a cancellation), and retires the runtime.
    void cancel(const QUuid &requestID);
    // Removes from the runtime's session store the turns of these deleted conversations, or
    // (keepTurns) of every conversation but these. Nothing waits for it: the runtime does it
    // in its turn, after the run in hand; one that is lost is made good by the keepTurns of
    // the next start. False when the line could not be written.
    bool forgetTurns(const QString &sessionPath, const QList<QUuid> &conversationIDs);
    bool keepTurns(const QString &sessionPath, const QList<QUuid> &conversationIDs);

    const Limits &limits() const { return m_limits; }
    const std::optional<QString> &executableOverride() const { return m_executableOverride; }

    // The process id of the current runtime, or 0 when none is running.
    qint64 processId() const;
    bool isBusy() const { return !m_pending.empty(); }

private:
    struct Completion;
    struct PendingRun {
        std::shared_ptr<const EventHandler> onEvent;
        std::shared_ptr<Completion> completion;
        QString modelName;
        QTimer *loadingTimer = nullptr;
        QTimer *runTimer = nullptr;
    };

    bool post(AgentProtocolCommand command, const QString &sessionPath, const QList<QUuid> &conversationIDs);
    std::optional<AgentRuntimeError> reserveCloudRequestIfNeeded(const AgentRuntimeRequest &request);
    void write(const AgentRuntimeRequest &request, const QUuid &generation);
    void consume(const QByteArray &bytes, const QUuid &generation);
    void captureStderr(const QByteArray &bytes, const QUuid &generation);
    void handle(const AgentRuntimeEvent &event);
    void runtimeTerminated(QProcess *process, const QUuid &generation);
    void writeFailed(const QUuid &generation);
    void finish(const QUuid &requestID, RunResult result);
    void failAllPending(const AgentRunFailure &failure);
    QString diagnosticSuffix() const;
    void modelLoadTimedOut(const QUuid &requestID);
    void runTimedOut(const QUuid &requestID);
    void readPendingDiagnostics();
    void retireRuntime();
    void stopRetired(QProcess *process);
    QTimer *startRunTimer(std::chrono::milliseconds timeout, std::function<void()> action);

    Limits m_limits;
    Clock m_clock;
    std::optional<QString> m_executableOverride;

    QPointer<QProcess> m_process;
    QUuid m_processGeneration;
    QByteArray m_readBuffer;
    qsizetype m_scannedBytes = 0;
    QUuid m_consumingGeneration; // the runtime whose output is being split right now
    QByteArray m_stderrBuffer;
    std::map<QUuid, PendingRun> m_pending;
    std::deque<std::chrono::steady_clock::time_point> m_cloudRequestStarts;
};

} // namespace sorvane

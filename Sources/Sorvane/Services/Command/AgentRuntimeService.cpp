#include "Services/Command/AgentRuntimeService.h"

#include "Platform/ChildProcess.h"
#include "Platform/ResourceLocator.h"

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTimer>

#include <coroutine>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace sorvane {

namespace {

// Kept on each runtime process: its id (QProcess forgets it once the process ended).
constexpr const char *pidProperty = "sorvanePid";

qint64 launchedPid(const QProcess *process)
{
    return process->property(pidProperty).toLongLong();
}

bool isCloudProvider(AgentModelProvider provider)
{
    return provider == AgentModelProvider::OpenAI || provider == AgentModelProvider::Gemini ||
           provider == AgentModelProvider::Mistral;
}

// Signals the runtime's whole process group: it leads its own (see the launch).
void signalGroup(qint64 pid, int signalNumber)
{
    if (pid > 0)
        ::kill(-pid_t(pid), signalNumber);
}

} // namespace

// Where a suspended run waits for its one answer.
struct AgentRuntimeService::Completion {
    std::optional<RunResult> result;
    std::coroutine_handle<> waiter;

    struct Awaiter {
        std::shared_ptr<Completion> completion;
        bool await_ready() const noexcept { return completion->result.has_value(); }
        void await_suspend(std::coroutine_handle<> handle) noexcept { completion->waiter = handle; }
        RunResult await_resume() { return std::move(*completion->result); }
    };

    // The caller resumes from the event loop, never inside the service's own code, so it
    // may start the next run (or destroy the service) without pulling the ground away.
    static void resolve(const std::shared_ptr<Completion> &completion, RunResult result)
    {
        completion->result = std::move(result);
        if (!completion->waiter)
            return;
        if (!QCoreApplication::instance()) {
            std::exchange(completion->waiter, {}).resume();
            return;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [completion] {
                if (auto waiter = std::exchange(completion->waiter, {}))
                    waiter.resume();
            },
            Qt::QueuedConnection);
    }
};

AgentRuntimeService::AgentRuntimeService(QObject *parent) : AgentRuntimeService(Options{}, parent) {}

AgentRuntimeService::AgentRuntimeService(Options options, QObject *parent)
    : QObject(parent), m_limits(options.limits), m_clock(std::move(options.clock)),
      m_executableOverride(std::move(options.executableOverride))
{
    if (!m_clock)
        m_clock = [] { return std::chrono::steady_clock::now(); };
}

namespace {
// After SIGKILL a process is gone at once; this only bounds a wait for the kernel.
constexpr std::chrono::seconds reapWait{5};
} // namespace

AgentRuntimeService::~AgentRuntimeService()
{
    const auto ids = [this] {
        QList<QUuid> list;
        for (const auto &entry : m_pending)
            list.append(entry.first);
        return list;
    }();
    for (const QUuid &id : ids)
        finish(id, AgentRunFailure::cancelled());

    // No grace here: the runtime is stopped at once, and whatever ignores SIGTERM is
    // killed with its group, so nothing outlives the service.
    const auto processes = findChildren<QProcess *>(QString(), Qt::FindDirectChildrenOnly);
    for (QProcess *process : processes) {
        QObject::disconnect(process, nullptr, this, nullptr);
        if (process->state() == QProcess::NotRunning)
            continue;
        process->closeWriteChannel();
        signalGroup(launchedPid(process), SIGTERM);
    }
    for (QProcess *process : processes) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->waitForFinished(int(m_limits.killGrace.count()));
        // The leader if it ignored SIGTERM, and whatever it left behind in its group.
        signalGroup(launchedPid(process), SIGKILL);
        process->waitForFinished(int(std::chrono::milliseconds(reapWait).count()));
    }
}

std::optional<QString> AgentRuntimeService::bundledExecutable(const QString &name)
{
    return ResourceLocator::executable(name);
}

QByteArray AgentRuntimeService::encodedLine(const AgentRuntimeRequest &request)
{
    return request.encodedLine();
}

qint64 AgentRuntimeService::processId() const
{
    return m_process && m_process->state() != QProcess::NotRunning ? m_process->processId() : 0;
}

Result<Done, AgentRuntimeError> AgentRuntimeService::ensureProcess()
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        return Done{};

    const std::optional<QString> program =
        m_executableOverride ? m_executableOverride : bundledExecutable(QStringLiteral("sorvane-agent"));
    if (!program)
        return AgentRuntimeError::runtimeMissing();

    m_readBuffer.clear();
    m_scannedBytes = 0;
    m_stderrBuffer.clear();

    auto *process = new QProcess(this);
    const QUuid generation = QUuid::createUuid();
    process->setProgram(*program);
    process->setArguments({});
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // API keys travel only in the request line, on its standard input.
    QProcessEnvironment environment = childEnvironment();
    environment.insert(QStringLiteral("OPENAI_AGENTS_DISABLE_TRACING"), QStringLiteral("1"));
    process->setProcessEnvironment(environment);
    // Its own process group, so that a retired runtime can be stopped with every
    // program it started (the local inference server, the bridge). Should this
    // program die, the runtime gets SIGTERM, so it can still end what it started.
    endWithThisProgram(*process, SIGTERM, [] { ::setpgid(0, 0); });

    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, process, generation] { consume(process->readAllStandardOutput(), generation); });
    connect(process, &QProcess::readyReadStandardError, this,
            [this, process, generation] { captureStderr(process->readAllStandardError(), generation); });
    connect(process, &QProcess::finished, this,
            [this, process, generation] { runtimeTerminated(process, generation); });
    connect(process, &QProcess::errorOccurred, this, [this, generation](QProcess::ProcessError error) {
        if (error == QProcess::WriteError)
            writeFailed(generation);
    });

    process->start(QIODevice::ReadWrite);
    if (!process->waitForStarted()) {
        QObject::disconnect(process, nullptr, this, nullptr);
        delete process;
        return AgentRuntimeError::runtimeMissing();
    }
    process->setProperty(pidProperty, process->processId());
    m_process = process;
    m_processGeneration = generation;
    return Done{};
}

QCoro::Task<AgentRuntimeService::RunResult> AgentRuntimeService::run(AgentRuntimeRequest request,
                                                                     EventHandler onEvent)
{
    // Everything up to the registration runs without suspending, so two calls can never
    // both pass the busy check.
    if (!m_pending.empty())
        co_return AgentRunFailure(AgentRuntimeError::busy());
    if (auto started = ensureProcess(); !started)
        co_return AgentRunFailure(started.error());
    if (auto refused = reserveCloudRequestIfNeeded(request))
        co_return AgentRunFailure(*refused);
    if (m_processGeneration.isNull())
        co_return AgentRunFailure(AgentRuntimeError::runtimeMissing());
    const QUuid generation = m_processGeneration;
    const QUuid id = request.requestID;

    auto completion = std::make_shared<Completion>();
    PendingRun pending;
    pending.onEvent = std::make_shared<const EventHandler>(std::move(onEvent));
    pending.completion = completion;
    pending.modelName = request.model ? request.model->name : QStringLiteral("The local model");
    pending.loadingTimer = startRunTimer(m_limits.modelLoadTimeout, [this, id] { modelLoadTimedOut(id); });
    pending.runTimer = startRunTimer(m_limits.runTimeout, [this, id] { runTimedOut(id); });
    m_pending.emplace(id, std::move(pending));

    QTimer::singleShot(0, this, [this, request = std::move(request), generation] { write(request, generation); });

    // A named awaiter: GCC 12 destroys a temporary awaiter of a co_await twice, which
    // here released the completion's last reference a second time.
    Completion::Awaiter awaiter{completion};
    RunResult result = co_await awaiter;
    co_return result;
}

bool AgentRuntimeService::forgetTurns(const QString &sessionPath, const QList<QUuid> &conversationIDs)
{
    return post(AgentProtocolCommand::ForgetTurns, sessionPath, conversationIDs);
}

bool AgentRuntimeService::keepTurns(const QString &sessionPath, const QList<QUuid> &conversationIDs)
{
    return post(AgentProtocolCommand::KeepTurns, sessionPath, conversationIDs);
}

bool AgentRuntimeService::post(AgentProtocolCommand command, const QString &sessionPath,
                               const QList<QUuid> &conversationIDs)
{
    if (auto started = ensureProcess(); !started || !m_process)
        return false;
    AgentRuntimeRequest request;
    request.requestID = QUuid::createUuid();
    request.command = command;
    request.sessionPath = sessionPath;
    request.conversationIDs = conversationIDs;
    // Its answer names a request nobody waits for, and so is passed over.
    const QByteArray line = encodedLine(request);
    return m_process->write(line) == line.size();
}

void AgentRuntimeService::cancel(const QUuid &requestID)
{
    if (!m_pending.contains(requestID))
        return;
    finish(requestID, AgentRunFailure::cancelled());
    retireRuntime();
}

QTimer *AgentRuntimeService::startRunTimer(std::chrono::milliseconds timeout, std::function<void()> action)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, std::move(action));
    timer->start(timeout);
    return timer;
}

std::optional<AgentRuntimeError> AgentRuntimeService::reserveCloudRequestIfNeeded(const AgentRuntimeRequest &request)
{
    if (!request.model || !isCloudProvider(request.model->provider))
        return std::nullopt;
    const auto now = m_clock();
    std::erase_if(m_cloudRequestStarts,
                  [&](const auto &start) { return now - start >= m_limits.cloudRateLimitWindow; });
    if (qsizetype(m_cloudRequestStarts.size()) >= m_limits.cloudRequestLimit)
        return AgentRuntimeError::cloudRequestLimitReached(m_limits.cloudRequestLimit);
    m_cloudRequestStarts.push_back(now);
    return std::nullopt;
}

void AgentRuntimeService::write(const AgentRuntimeRequest &request, const QUuid &generation)
{
    // A run that already ended (cancelled before its line went out) is not sent at all;
    // the runtime that may have replaced its own is none of its business.
    if (!m_pending.contains(request.requestID))
        return;
    if (!m_process || m_processGeneration != generation) {
        finish(request.requestID, AgentRunFailure(AgentRuntimeError::runtimeMissing()));
        retireRuntime();
        return;
    }
    const QByteArray line = encodedLine(request);
    if (m_process->write(line) != line.size()) {
        finish(request.requestID, AgentRunFailure::writeFailed(m_process->errorString()));
        retireRuntime();
    }
}

void AgentRuntimeService::writeFailed(const QUuid &generation)
{
    if (generation != m_processGeneration || !m_process)
        return;
    failAllPending(AgentRunFailure::writeFailed(m_process->errorString()));
    retireRuntime();
}

void AgentRuntimeService::consume(const QByteArray &bytes, const QUuid &generation)
{
    if (generation != m_processGeneration || bytes.isEmpty())
        return;
    m_readBuffer.append(bytes);
    // An event handler that spins an event loop may bring more output of the same
    // runtime; the call already splitting it goes on with it.
    if (m_consumingGeneration == generation)
        return;
    m_consumingGeneration = generation;
    const QPointer<AgentRuntimeService> self(this);
    const auto invalidResponse = [this] {
        m_consumingGeneration = QUuid();
        failAllPending(AgentRunFailure(
            AgentRuntimeError::writingModelUnavailable(AgentRuntimeError::invalidRuntimeResponse().message())));
        retireRuntime();
    };

    // Offsets, not pointers: the buffer may grow while an event is handled.
    qsizetype lineStart = 0;
    for (;;) {
        const qsizetype newline = m_readBuffer.indexOf('\n', m_scannedBytes);
        if (newline < 0) {
            m_scannedBytes = m_readBuffer.size();
            break;
        }
        const QByteArray line = QByteArray::fromRawData(m_readBuffer.constData() + lineStart, newline - lineStart);
        lineStart = newline + 1;
        m_scannedBytes = lineStart;
        if (line.isEmpty())
            continue;
        const std::optional<AgentRuntimeEvent> event = AgentRuntimeEvent::decodedLine(line);
        if (!event) {
            // One bad line ends every pending request, not only the one it was meant for.
            invalidResponse();
            return;
        }
        handle(*event);
        if (!self)
            return;
        if (generation != m_processGeneration) { // retired by the event or its handler
            if (m_consumingGeneration == generation)
                m_consumingGeneration = QUuid();
            return;
        }
    }
    m_readBuffer.remove(0, lineStart);
    m_scannedBytes -= lineStart;
    m_consumingGeneration = QUuid();
    if (m_readBuffer.size() > m_limits.maxLineBytes)
        invalidResponse();
}

void AgentRuntimeService::captureStderr(const QByteArray &bytes, const QUuid &generation)
{
    if (generation != m_processGeneration || bytes.isEmpty())
        return;
    m_stderrBuffer.append(bytes);
    if (m_stderrBuffer.size() > m_limits.stderrTailBytes)
        m_stderrBuffer.remove(0, m_stderrBuffer.size() - m_limits.stderrTailBytes);
}

void AgentRuntimeService::handle(const AgentRuntimeEvent &event)
{
    if (!event.requestID) {
        if (event.kind == AgentProtocolEventKind::Error) {
            failAllPending(AgentRunFailure(AgentRuntimeError::writingModelUnavailable(
                event.text.value_or(QStringLiteral("Command rejected the request.")))));
            retireRuntime();
        }
        return;
    }
    const QUuid id = *event.requestID;
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    // The handler may cancel the run (and so drop its entry) while it runs.
    const std::shared_ptr<const EventHandler> onEvent = it->second.onEvent;
    const QPointer<AgentRuntimeService> self(this);
    if (*onEvent)
        (*onEvent)(event);
    if (!self)
        return;
    it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    if (event.phase == AgentPhase::Generating && it->second.loadingTimer) {
        it->second.loadingTimer->stop();
        it->second.loadingTimer->deleteLater();
        it->second.loadingTimer = nullptr;
    }
    if (event.kind == AgentProtocolEventKind::Error && event.code == QLatin1String("contextTooLarge"))
        finish(id, AgentRunFailure(AgentRuntimeError::contextTooLarge()));
    else if (event.kind == AgentProtocolEventKind::Error)
        finish(id, AgentRunFailure(AgentRuntimeError::writingModelUnavailable(
                       event.text.value_or(QStringLiteral("Command failed.")))));
    else if (event.kind == AgentProtocolEventKind::Completed)
        finish(id, event.text.value_or(QString()));
}

void AgentRuntimeService::finish(const QUuid &requestID, RunResult result)
{
    auto it = m_pending.find(requestID);
    if (it == m_pending.end())
        return;
    PendingRun run = std::move(it->second);
    m_pending.erase(it);
    for (QTimer *timer : {run.loadingTimer, run.runTimer}) {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    }
    Completion::resolve(run.completion, std::move(result));
}

void AgentRuntimeService::failAllPending(const AgentRunFailure &failure)
{
    QList<QUuid> ids;
    for (const auto &entry : m_pending)
        ids.append(entry.first);
    for (const QUuid &id : ids)
        finish(id, failure);
}

QString AgentRuntimeService::diagnosticSuffix() const
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\n\\x{000B}\\f\\r\\x{0085}\\x{2028}\\x{2029}]"));
    const QStringList pieces = QString::fromUtf8(m_stderrBuffer).split(lineBreaks, Qt::SkipEmptyParts);
    const QString tail = pieces.mid(qMax(0, pieces.size() - 3)).join(QLatin1Char(' ')).trimmed();
    return tail.isEmpty() ? QString() : QLatin1Char(' ') + tail;
}

void AgentRuntimeService::modelLoadTimedOut(const QUuid &requestID)
{
    const auto it = m_pending.find(requestID);
    if (it == m_pending.end())
        return;
    readPendingDiagnostics();
    const QString message = it->second.modelName + QStringLiteral(" did not start in time.") + diagnosticSuffix();
    finish(requestID, AgentRunFailure(AgentRuntimeError::writingModelUnavailable(message)));
    retireRuntime();
}

void AgentRuntimeService::runTimedOut(const QUuid &requestID)
{
    if (!m_pending.contains(requestID))
        return;
    readPendingDiagnostics();
    const QString message = QStringLiteral("Command stopped responding.") + diagnosticSuffix();
    finish(requestID, AgentRunFailure(AgentRuntimeError::writingModelUnavailable(message)));
    retireRuntime();
}

void AgentRuntimeService::readPendingDiagnostics()
{
    // What the runtime wrote just before a time-out may not have been announced yet.
    if (m_process)
        captureStderr(m_process->readAllStandardError(), m_processGeneration);
}

void AgentRuntimeService::retireRuntime()
{
    if (!m_process || m_processGeneration.isNull())
        return;
    QProcess *process = m_process;
    m_process = nullptr;
    m_processGeneration = QUuid();
    // Closed once every line already handed over has been written: the runtime sees
    // the end of its input and should leave by itself.
    process->closeWriteChannel();
    QTimer::singleShot(m_limits.retireGrace, process, [this, process] { stopRetired(process); });
}

void AgentRuntimeService::stopRetired(QProcess *process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    const qint64 pid = launchedPid(process);
    signalGroup(pid, SIGTERM);
    QTimer::singleShot(m_limits.killGrace, process, [process, pid] {
        if (process->state() != QProcess::NotRunning)
            signalGroup(pid, SIGKILL);
    });
}

void AgentRuntimeService::runtimeTerminated(QProcess *process, const QUuid &generation)
{
    // Whatever the runtime wrote before it went is handled before its exit is judged:
    // a "completed" line followed by an immediate exit is a success.
    consume(process->readAllStandardOutput(), generation);
    captureStderr(process->readAllStandardError(), generation);
    // However it ended (retired, crashed, or left by itself), whatever it started in its
    // group (the inference server, the bridge) must not run on without it.
    signalGroup(launchedPid(process), SIGKILL);

    if (process != m_process || generation != m_processGeneration) {
        process->deleteLater(); // a retired runtime ended
        return;
    }
    m_process = nullptr;
    m_processGeneration = QUuid();
    process->deleteLater();
    failAllPending(AgentRunFailure(AgentRuntimeError::writingModelUnavailable(
        QStringLiteral("Command stopped unexpectedly.") + diagnosticSuffix())));
}

} // namespace sorvane

#include "SorvaneAgent/AgentRuntime.h"

#include "SorvaneAgent/ChatStream.h"
#include "SorvaneAgent/CloudProvider.h"
#include "SorvaneAgent/SessionStore.h"

#include <QHostAddress>
#include <QNetworkProxyFactory>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace sorvane::agent {

namespace {

// A request line longer than this is not read (a selected text of many megabytes).
constexpr qsizetype maxLineBytes = qsizetype(64) * 1024 * 1024;

std::chrono::milliseconds environmentLimit(const char *variable, std::chrono::milliseconds fallback)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(variable).toLongLong(&ok);
    return ok && value > 0 ? std::chrono::milliseconds(value) : fallback;
}

// The user's proxy settings (http_proxy, https_proxy, no_proxy) for the cloud, never for
// the local model server.
class ProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const QString host = query.peerHostName();
        if (host == QLatin1String("localhost") || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

// Short diagnostics only: never a key, a request or an answer.
void diagnostic(const char *text)
{
    std::fprintf(stderr, "sorvane-agent: %s\n", text);
}

QString loadingDetail(const ModelInfo &model)
{
    switch (model.provider) {
    case Provider::AppleSystem:
        return QStringLiteral("Checking the on-device model");
    case Provider::LlamaCpp:
        return QStringLiteral("Loading ") + model.name;
    case Provider::OpenAI:
    case Provider::Gemini:
    case Provider::Mistral:
        break;
    }
    return QStringLiteral("Connecting to ") + providerName(model.provider) + QStringLiteral(" · ") + model.name;
}

} // namespace

AgentRuntime::Limits AgentRuntime::Limits::fromEnvironment()
{
    Limits limits;
    limits.firstByte = environmentLimit("SORVANE_AGENT_FIRST_BYTE_TIMEOUT_MS", limits.firstByte);
    limits.modelLoad = environmentLimit("SORVANE_AGENT_MODEL_LOAD_TIMEOUT_MS", limits.modelLoad);
    limits.request = environmentLimit("SORVANE_AGENT_REQUEST_TIMEOUT_MS", limits.request);
    return limits;
}

AgentRuntime::AgentRuntime(int inputFd, int outputFd, Limits limits, QObject *parent)
    : QObject(parent), m_inputFd(inputFd), m_output(outputFd), m_limits(limits), m_llama(&m_network)
{
    m_network.setProxyFactory(new ProxyFactory);
    m_llama.setLoadLimit(m_limits.modelLoad);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_job)
            fail(m_job->modelName + QStringLiteral(" did not finish in time. Try again, or choose a faster model."));
    });
    // Both report after prepare()/start() returned, and only for the work in hand.
    connect(&m_llama, &LlamaServer::ready, this, [this] {
        if (!m_job)
            return;
        markGenerating();
        const ModelInfo &model = *m_job->request.model;
        const int context = model.contextTokens.value_or(LlamaServer::defaultContextTokens);
        // A model that never stops is stopped at a length, and the answer reported as cut short.
        QJsonObject body{{QStringLiteral("messages"), chatMessages(m_job->prompt)},
                         {QStringLiteral("max_tokens"), std::min(maxLocalAnswerTokens, context / 2)}};
        if (!model.officialName.isEmpty())
            body.insert(QStringLiteral("model"), model.officialName);
        // The model has loaded ("generating" is out); reading a long prompt may take a while
        // before the first token, and only the request's deadline limits it.
        ChatStream::Options options;
        options.url = QUrl(m_llama.baseUrl().toString() + QStringLiteral("/v1/chat/completions"));
        options.body = body;
        options.serviceName = QStringLiteral("llama-server");
        options.firstByteLimit = std::chrono::milliseconds(0);
        options.dropLeadingThought = true;
        options.modelName = m_job->modelName;
        options.unreachableMessage = QStringLiteral("The server of ") + m_job->modelName +
                                     QStringLiteral(" stopped. Try the Command again.");
        stream(new ChatStream(&m_network, std::move(options), this));
    });
    connect(&m_llama, &LlamaServer::failed, this, [this](const QString &message) {
        if (m_job)
            fail(message);
    });
    connect(&m_bridge, &BridgeRunner::answered, this, [this](const QString &text) {
        if (!m_job)
            return;
        // The bridge answers in one piece: one delta with all of it.
        if (!text.trimmed().isEmpty())
            m_output.delta(m_job->request.requestID, text);
        complete(text);
    });
    connect(&m_bridge, &BridgeRunner::failed, this, [this](const QString &message) {
        if (m_job)
            fail(message);
    });
}

AgentRuntime::~AgentRuntime()
{
    stopWork();
    m_llama.stop();
}

void AgentRuntime::start()
{
    m_notifier = new QSocketNotifier(m_inputFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &AgentRuntime::readInput);
}

void AgentRuntime::readInput()
{
    char chunk[64 * 1024];
    const ssize_t count = ::read(m_inputFd, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        endOfInput();
        return;
    }
    m_inputBuffer.append(chunk, count);
    takeLines();
}

void AgentRuntime::takeLines()
{
    qsizetype start = 0;
    for (qsizetype newline = m_inputBuffer.indexOf('\n'); newline >= 0;
         newline = m_inputBuffer.indexOf('\n', start)) {
        if (m_skippingLine)
            m_skippingLine = false;
        else if (newline > start)
            m_lines.push_back(m_inputBuffer.mid(start, newline - start));
        start = newline + 1;
    }
    m_inputBuffer.remove(0, start);
    if (m_inputBuffer.size() > maxLineBytes) {
        m_inputBuffer.clear();
        if (!m_skippingLine) {
            m_skippingLine = true;
            m_lines.push_back(QByteArray()); // answered as an unreadable line, in its turn
        }
    }
    scheduleNext();
}

void AgentRuntime::endOfInput()
{
    // The application closes the input once it has sent all it wants answered: what came is
    // answered (each within its deadline), then the runtime stops.
    m_inputEnded = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (!m_inputBuffer.isEmpty() && !m_skippingLine)
        m_lines.push_back(std::exchange(m_inputBuffer, {})); // a last line without its newline
    m_inputBuffer.clear();
    scheduleNext();
    stopIfDone();
}

void AgentRuntime::stopIfDone()
{
    if (m_inputEnded && !m_job && (m_lines.empty() || !m_output.isOpen()))
        stop();
}

void AgentRuntime::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_lines.clear();
    stopWork();
    m_job.reset();
    m_llama.stop();
    Q_EMIT ended();
}

void AgentRuntime::scheduleNext()
{
    if (m_nextScheduled || m_job || m_lines.empty())
        return;
    m_nextScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_nextScheduled = false;
        serveNext();
    });
}

void AgentRuntime::serveNext()
{
    while (!m_job && !m_stopped && !m_lines.empty() && m_output.isOpen()) {
        const QByteArray line = std::move(m_lines.front());
        m_lines.pop_front();
        std::variant<AgentRequest, RequestProblem> decoded = decodeRequestLine(line);
        if (const auto *problem = std::get_if<RequestProblem>(&decoded)) {
            diagnostic("a request line could not be read");
            m_output.error(problem->requestID, problem->message, QStringLiteral("invalidRequest"));
            continue;
        }
        AgentRequest request = std::get<AgentRequest>(std::move(decoded));
        if (request.command == AgentRequest::Command::Other)
            continue; // never sent by the application; nothing to answer
        if (request.command == AgentRequest::Command::ForgetTurns || request.command == AgentRequest::Command::KeepTurns) {
            changeTurns(request);
            continue;
        }
        begin(std::move(request));
    }
    stopIfDone();
}

void AgentRuntime::changeTurns(const AgentRequest &request)
{
    const SessionStore store(request.sessionPath);
    const std::optional<QString> message =
        store.remove(request.conversationIDs, request.command == AgentRequest::Command::KeepTurns);
    if (message) {
        diagnostic("the turns of deleted conversations could not be removed");
        m_output.error(request.requestID, *message);
        return;
    }
    m_output.completed(request.requestID, QString());
}

void AgentRuntime::begin(AgentRequest request)
{
    m_job = Job{};
    Job &job = *m_job;
    job.request = std::move(request);
    const AgentRequest &req = job.request;
    if (!req.model) {
        job.modelName = QStringLiteral("The writing model");
        fail(QStringLiteral("Choose a writing model."));
        return;
    }
    job.modelName = req.model->name.isEmpty() ? QStringLiteral("The writing model") : req.model->name;
    m_output.phase(req.requestID, QStringLiteral("loadingModel"), loadingDetail(*req.model));
    m_deadline.start(m_limits.request);

    QList<Turn> history;
    const bool hasSession = !req.sessionPath.isEmpty() && !req.conversationID.isEmpty();
    job.keepTurns = hasSession && !req.ephemeralSession;
    if (hasSession) {
        const SessionStore store(req.sessionPath);
        // A damaged store would stop every Command: it is moved aside, once, and the user told.
        if (job.keepTurns || req.command == AgentRequest::Command::Continue) {
            if (const std::optional<QString> setAside = store.setAsideIfUnreadable())
                m_output.warning(req.requestID, *setAside);
        }
        if (req.command == AgentRequest::Command::Continue) {
            std::variant<QList<Turn>, QString> turns = store.turns(req.conversationID);
            if (const auto *message = std::get_if<QString>(&turns)) {
                fail(*message);
                return;
            }
            history = std::get<QList<Turn>>(std::move(turns));
            // Without them the model would answer the follow-up alone, and the answer would
            // replace what was pasted as if it were the next turn.
            if (history.isEmpty() || m_incompleteConversations.contains(req.conversationID.toUpper())) {
                fail(QStringLiteral("The earlier turns of this conversation are gone, so it cannot be continued. "
                                    "Start a new Command."));
                return;
            }
        } else if (job.keepTurns) {
            // Found out before the model works, not after: the file is never overwritten.
            if (const std::optional<QString> message = store.checkWritable()) {
                fail(*message);
                return;
            }
        }
    }

    std::variant<ChatPrompt, QString> prompt = buildPrompt(req, history);
    if (const auto *message = std::get_if<QString>(&prompt)) {
        fail(*message);
        return;
    }
    job.prompt = std::get<ChatPrompt>(std::move(prompt));

    switch (req.model->provider) {
    case Provider::OpenAI:
    case Provider::Gemini:
    case Provider::Mistral:
        runCloud();
        return;
    case Provider::LlamaCpp:
        runLocal();
        return;
    case Provider::AppleSystem:
        runOnDevice();
        return;
    }
}

void AgentRuntime::runCloud()
{
    const AgentRequest &req = m_job->request;
    const Provider provider = req.model->provider;
    const QString key = req.cloudAPIKey.trimmed();
    if (key.isEmpty()) {
        fail(QStringLiteral("Add your ") + providerName(provider) + QStringLiteral(" API key before using this model."));
        return;
    }
    // A line break or other control character in the key would end its header and start another.
    for (const QChar c : key) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control) {
            fail(provider == Provider::OpenAI ? QStringLiteral("Enter a valid OpenAI API key beginning with sk-.")
                                              : QStringLiteral("Enter a valid ") + providerName(provider) +
                                                    QStringLiteral(" API key."));
            return;
        }
    }
    QJsonObject body{{QStringLiteral("model"), req.model->officialName},
                     {QStringLiteral("messages"), chatMessages(m_job->prompt)}};
    if (const std::optional<QString> effort = providerReasoningEffort(provider, req.reasoningEffort))
        body.insert(QStringLiteral("reasoning_effort"), *effort);
    ChatStream::Options options;
    options.url = chatCompletionsUrl(provider);
    options.apiKey = key;
    options.body = body;
    options.serviceName = providerName(provider);
    options.firstByteLimit = m_limits.firstByte;
    options.modelName = m_job->modelName;
    stream(new ChatStream(&m_network, std::move(options), this));
}

void AgentRuntime::runLocal()
{
    const AgentRequest &req = m_job->request;
    // The application names the program it found; without one the runtime looks as it does.
    QString program = req.llamaServerPath;
    if (program.isEmpty())
        program = qEnvironmentVariable("SORVANE_LLAMA_SERVER_PATH");
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("llama-server"));
    LlamaServer::Setup setup{program, req.modelPath, req.model->takesImages ? req.projectorPath : QString(),
                             m_job->modelName, req.model->contextTokens.value_or(LlamaServer::defaultContextTokens)};
    m_llama.prepare(setup);
}

void AgentRuntime::runOnDevice()
{
    markGenerating();
    m_bridge.start(m_job->request.appleBridgePath, m_job->prompt.system, singlePrompt(m_job->prompt));
}

void AgentRuntime::stream(ChatStream *chat)
{
    m_stream = chat;
    connect(chat, &ChatStream::responding, this, &AgentRuntime::markGenerating);
    connect(chat, &ChatStream::delta, this, [this](const QString &text) {
        if (m_job)
            m_output.delta(m_job->request.requestID, text);
    });
    connect(chat, &ChatStream::finished, this, &AgentRuntime::complete);
    connect(chat, &ChatStream::failed, this, [this](const QString &message, ChatStream::Failure failure) {
        fail(message, failure == ChatStream::Failure::ContextTooLarge ? QStringLiteral("contextTooLarge") : QString());
    });
    chat->start();
}

void AgentRuntime::markGenerating()
{
    if (!m_job || m_job->generating)
        return;
    m_job->generating = true;
    m_output.phase(m_job->request.requestID, QStringLiteral("generating"));
}

void AgentRuntime::complete(const QString &answer)
{
    if (!m_job)
        return;
    const QString requestID = m_job->request.requestID;
    if (answer.trimmed().isEmpty()) {
        fail(m_job->modelName + QStringLiteral(" returned an empty answer. Try again."));
        return;
    }
    if (m_job->keepTurns) {
        const SessionStore store(m_job->request.sessionPath);
        const QList<Turn> turns{{Turn::Role::User, m_job->prompt.userText}, {Turn::Role::Assistant, answer}};
        if (const std::optional<QString> message = store.append(m_job->request.conversationID, turns)) {
            m_incompleteConversations.insert(m_job->request.conversationID.toUpper());
            m_output.warning(requestID, *message);
        }
    }
    stopWork();
    m_job.reset();
    m_output.completed(requestID, answer);
    scheduleNext();
    stopIfDone();
}

void AgentRuntime::fail(const QString &message, const QString &code)
{
    if (!m_job)
        return;
    const QString requestID = m_job->request.requestID;
    stopWork();
    m_job.reset();
    m_output.error(requestID, message, code);
    scheduleNext();
    stopIfDone();
}

void AgentRuntime::stopWork()
{
    m_deadline.stop();
    if (ChatStream *chat = m_stream.data()) {
        m_stream = nullptr;
        chat->disconnect(this);
        chat->abort();
        chat->deleteLater();
    }
    m_bridge.abort();
    m_llama.forget();
}

} // namespace sorvane::agent

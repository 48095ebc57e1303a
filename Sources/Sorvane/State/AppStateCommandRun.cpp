// One Command run: the request to the runtime, its streamed events, the delivery and
// announcement of the answer, or the error and where it can be fixed.

#include "State/AppState.h"

#include "Command/AgentCommandRules.h"
#include "Command/AgentProgressEstimator.h"
#include "Command/AgentRuntimeError.h"
#include "Platform/Keystrokes.h"
#include "Shared/AppPaths.h"
#include "Services/Command/AgentNotificationService.h"
#include "Services/Command/AgentRuntimeService.h"
#include "Services/Shell/HotKeyManager.h"
#include "Shared/UserPerceivedText.h"

#include <QLoggingCategory>
#include <QPointer>

namespace sorvane {

Q_LOGGING_CATEGORY(lcCommand, "sorvane.command")

namespace {

constexpr std::chrono::milliseconds agentProgressTickInterval{180};

AgentCommandRules::RunLocations runLocations(QString modelFolder)
{
    return AgentCommandRules::RunLocations{
        std::move(modelFolder),
        AgentRuntimeService::bundledExecutable(QStringLiteral("llama-server")),
        AgentRuntimeService::bundledExecutable(QStringLiteral("SorvaneAppleBridge")),
        AppPaths::agentSessions(),
    };
}

} // namespace

void AppState::runWritingAgent(const QString &instruction, const QUuid &conversationID,
                               const QList<AgentContextAttachment> &attachments, bool isContinuation,
                               const std::optional<QUuid> &profileID)
{
    runAgent(instruction, conversationID, attachments, isContinuation, profileID);
}

QCoro::Task<void> AppState::runAgent(QString instruction, QUuid conversationID,
                                     QList<AgentContextAttachment> attachments, bool isContinuation,
                                     std::optional<QUuid> profileID)
{
    // One run at a time: a second would take over the phase and the target of the first.
    if (m_activeAgentRequestID)
        co_return;
    const auto model = selectedAgentModel();
    if (!model) {
        showAgentError(QStringLiteral("Choose a writing model."), ErrorResolutionDestination::commandModels());
        co_return;
    }
    m_activeAgentProfileID = profileID;
    m_agentRunWarnings.clear();

    // The run counts as active, with its phase on show, before the first wait (the
    // keyring), so nothing can start beside it meanwhile.
    const QUuid requestID = QUuid::createUuid();
    m_activeAgentRequestID = requestID;
    m_agentWorkingConversationID = conversationID;
    setAgentPhase(AgentPhase::LoadingModel);
    beginAgentProgress();
    setAgentPhaseDetail(AgentCommandRules::loadingDetail(*model));
    setAgentStreamedText(QString());
    showOverlay();
    hotKey().registerCancel();

    const QPointer<AppState> self(this);
    std::optional<QString> key;
    if (const auto provider = AgentCommandRules::cloudProvider(model->provider)) {
        if (const CloudAPIKeychainStore *found = cloudKeychain(*provider)) {
            const CloudAPIKeychainStore store = *found;
            auto loading = store.load();
            const auto loaded = co_await std::move(loading);
            if (!self || m_activeAgentRequestID != requestID)
                co_return;
            if (!loaded) {
                showAgentError(loaded.error().message(), ErrorResolutionDestination::apiKeys(*provider));
                co_return;
            }
            key = loaded.value();
        }
        if (!key) {
            showAgentError(AgentRuntimeError::writingModelUnavailable(AgentCommandRules::missingKeyMessage(*provider)).message(),
                           ErrorResolutionDestination::apiKeys(*provider));
            co_return;
        }
    }

    AgentCommandRules::RunInput input;
    input.requestID = requestID;
    input.conversationID = conversationID;
    input.isContinuation = isContinuation;
    input.instruction = instruction;
    input.attachments = attachments;
    input.profileID = profileID;
    input.cloudKey = std::move(key);
    AgentRuntimeRequest request = AgentCommandRules::runRequest(input, *model, m_agentSettings, runLocations(agentModelStore().modelFolder(*model)));

    // Each task is made in a statement of its own and then awaited: GCC 12 destroys some
    // temporaries of an awaited call twice.
    const AgentRuntimeService::EventHandler onEvent = [self, requestID](const AgentRuntimeEvent &event) {
        if (self)
            self->handleAgentEvent(requestID, event);
    };
    auto running = agentRuntime().run(std::move(request), onEvent);
    const auto result = co_await std::move(running);
    // Cancelled or superseded: whatever the runtime says now is not wanted.
    if (!self || m_activeAgentRequestID != requestID)
        co_return;
    if (!result) {
        QString message = result.error().message();
        if (!m_agentRunWarnings.isEmpty())
            message += QLatin1Char('\n') + m_agentRunWarnings.join(QLatin1Char('\n'));
        showAgentError(message, ErrorResolutionDestination::commandModels(),
                       QStringLiteral("the writing model %1 (%2) answered with an error").arg(model->name, model->id));
        co_return;
    }
    auto delivering = deliverAgentAnswer(result.value(), conversationID, requestID, isContinuation);
    co_await std::move(delivering);
}

void AppState::handleAgentEvent(const QUuid &requestID, const AgentRuntimeEvent &event)
{
    if (m_activeAgentRequestID != requestID)
        return;
    if (event.phase) {
        // Only the runtime's working phases are shown as they come: the run ends as
        // completed once its answer has been delivered, not when the runtime is done.
        if (*event.phase == AgentPhase::LoadingModel || *event.phase == AgentPhase::Generating)
            setAgentPhase(*event.phase);
        setAgentProgress(AgentCommandRules::progressAfterPhase(m_agentProgress, *event.phase));
    }
    if (event.text) {
        if (event.kind == AgentProtocolEventKind::Warning) {
            m_agentRunWarnings.append(*event.text);
        } else if (event.kind == AgentProtocolEventKind::Delta) {
            setAgentProgress(AgentProgressEstimator::receivedDelta(m_agentProgress, userPerceivedLength(*event.text)));
            appendAgentStreamedText(*event.text);
        } else if (event.kind == AgentProtocolEventKind::Phase) {
            setAgentPhaseDetail(*event.text);
        }
    }
}

QCoro::Task<void> AppState::deliverAgentAnswer(QString answer, QUuid conversationID, QUuid requestID,
                                               bool isContinuation)
{
    const QPointer<AppState> self(this);
    setAgentResultText(answer);
    setAgentStreamedText(answer);
    AgentConversationStore &conversations = agentConversationStore();
    conversations.addAssistantMessage(answer, conversationID);

    std::optional<AgentTargetSnapshot> target;
    std::optional<QString> replacing;
    if (isContinuation) {
        if (const auto conversation = conversations.conversation(conversationID))
            replacing = conversation->lastPastedText;
        target = agentPaste().lastTarget();
    }
    if (!target)
        target = m_agentTarget;

    // The run stays active while the answer is delivered, so that a Command or a
    // Dictation begun meanwhile is refused instead of racing this paste.
    bool pasted = false;
    bool copied = m_agentSettings.copyResult;
    if (target) {
        auto delivering = agentPaste().deliver(answer, m_agentSettings, *target, replacing);
        const AgentDeliveryResult delivery = co_await std::move(delivering);
        if (!self)
            co_return;
        pasted = delivery.pasted;
        copied = m_agentSettings.copyResult || delivery.needsPaste;
        setAgentResultNeedsPaste(delivery.needsPaste);
        conversations.setLastPastedText(delivery.pasted ? std::optional(answer) : std::nullopt, conversationID);
    } else {
        if (m_agentSettings.copyResult)
            agentPaste().copyToClipboard(answer);
        setAgentResultNeedsPaste(m_agentSettings.automaticPaste);
        conversations.setLastPastedText(std::nullopt, conversationID);
    }
    // Cancelled while the answer went out: the cancel's state stays.
    if (m_activeAgentRequestID != requestID)
        co_return;

    m_activeAgentRequestID.reset();
    hotKey().unregisterCancel();
    // An answer arrived: an earlier failure's banner no longer holds.
    clearActionError();
    setAgentPhase(AgentPhase::Completed);
    finishAgentProgress(1.0);
    setAgentPhaseDetail(QStringLiteral("Ready"));
    playCompletionSound();
    if (m_agentSettings.showCompletionNotification)
        if (AgentResultPresenter *panel = agentResultController())
            panel->showResult(conversationID);
    // A warning is told even to a user who wants no word of a finished Command.
    if (m_agentSettings.notifyOnCompletion || !m_agentRunWarnings.isEmpty()) {
        const auto &application = target ? target->application : std::nullopt;
        const QString pasteKey = clipboardPasteKeyName(application ? application->windowClass : QString(),
                                                       application ? application->windowInstance : QString())
                                     .value_or(QString());
        agentNotifications().postCompletion(pasted, copied, pasted ? m_targetApplicationName : QString(), pasteKey,
                                            m_agentRunWarnings);
    }
    // What the runtime could not do with its store is also kept in the banner: a desktop
    // without a notification server would show the notification nowhere.
    if (!m_agentRunWarnings.isEmpty())
        showStoredFileNotice(m_agentRunWarnings.join(QLatin1Char('\n')), ErrorResolutionDestination::commandSettings());
    scheduleAgentOverlayHide(1.2);
}

void AppState::showAgentError(const QString &message, const std::optional<ErrorResolutionDestination> &destination,
                              const QString &cause)
{
    // What the user sees is one line; the log keeps it with what led to it.
    qCWarning(lcCommand).noquote() << QStringLiteral("A Command failed: ") + message
                                          + (cause.isEmpty() ? QString() : QStringLiteral(" (") + cause + QStringLiteral(")"));
    m_activeAgentRequestID.reset();
    finishAgentProgress(0);
    setAgentPhase(AgentPhase::Error);
    setAgentPhaseDetail(message);
    setErrorResolution(destination ? std::optional(ErrorResolution(message, *destination)) : std::nullopt);
    hotKey().unregisterCancel();
    showOverlay();
    scheduleAgentOverlayHide(3.0);
}

void AppState::beginAgentProgress()
{
    m_agentProgressTask.reset();
    setAgentProgress(0.04);
    m_agentProgressTask = timers().start(agentProgressTickInterval, [this] { tickAgentProgress(); });
}

void AppState::tickAgentProgress()
{
    if (!m_activeAgentRequestID
        || (m_agentPhase != AgentPhase::LoadingModel && m_agentPhase != AgentPhase::Generating))
        return;
    setAgentProgress(AgentProgressEstimator::tick(m_agentProgress, m_agentPhase));
    m_agentProgressTask = timers().start(agentProgressTickInterval, [this] { tickAgentProgress(); });
}

void AppState::finishAgentProgress(double progress)
{
    m_agentProgressTask.reset();
    setAgentProgress(progress);
}

} // namespace sorvane

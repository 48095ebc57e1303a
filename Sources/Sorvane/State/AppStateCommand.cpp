// The Command flow of the application state: from the Command shortcut to the spoken
// instruction (capture, recording, transcription, the conversation), the follow-ups
// and the result actions. The run itself is in AppStateCommandRun.cpp.

#include "State/AppState.h"

#include "Command/AgentCommandRules.h"
#include "Command/AgentRuntimeError.h"
#include "Support/StoredJson.h"
#include "Services/Shell/HotKeyManager.h"
#include "Services/Dictation/WhisperRunner.h"
#include "Platform/PermissionProbe.h"
#include "Platform/WindowActivation.h"

#include <QDir>
#include <QFile>
#include <QPointer>

#include <algorithm>

namespace sorvane {

namespace {

bool dictationRunning(const CaptureStatus &status)
{
    return status.kind() == CaptureStatus::Kind::Recording || status.kind() == CaptureStatus::Kind::Processing;
}

// A screenshot taken for a Command that never started has no conversation to go to.
void discardAttachmentFiles(const QList<AgentContextAttachment> &attachments, const QString &pendingFolder)
{
    for (const AgentContextAttachment &attachment : attachments)
        if (attachment.filePath && AgentCommandRules::isPendingFile(*attachment.filePath, pendingFolder))
            QFile::remove(*attachment.filePath);
}

} // namespace

bool AppState::isCommandBusy() const
{
    return m_agentStarting || isRunInFlight(m_agentPhase) || m_activeAgentRequestID.has_value();
}

QString AppState::accessibilityRequirementMessage() const
{
    return AgentCommandRules::accessibilityRequirementMessage(m_agentSettings.includeSelectedText,
                                                              m_agentSettings.automaticPaste);
}

void AppState::startAgentRecording(bool includeScreenshot, const std::optional<QUuid> &conversationID,
                                   const std::optional<QUuid> &profileID)
{
    if (dictationRunning(m_status) || isCommandBusy())
        return;
    cancelOverlayHide();
    refreshPermissions();

    AgentCommandRules::StartConditions conditions;
    conditions.microphoneGranted = m_microphoneGranted;
    conditions.accessibilityGranted = m_accessibilityGranted;
    conditions.settings = m_agentSettings;
    conditions.model = selectedAgentModel();
    conditions.includeScreenshot = includeScreenshot;
    std::optional<AgentWritingProvider> keyProvider;
    if (conditions.model) {
        keyProvider = AgentCommandRules::cloudProvider(conditions.model->provider);
        conditions.cloudKeyConfigured = keyProvider && isAPIKeyConfigured(*keyProvider);
        conditions.modelAvailable = agentModelStore().isAvailable(*conditions.model);
    }
    conditions.speechModelAvailable = canDictate();

    if (auto refusal = AgentCommandRules::startRefusal(conditions)) {
        // A keyring that could not be read at start-up says why, rather than "no key".
        if (keyProvider && refusal->destination == ErrorResolutionDestination::apiKeys(*keyProvider))
            if (const auto loadError = cloudKeyLoadError(*keyProvider))
                refusal->message = loadError->message();
        showAgentError(refusal->message, refusal->destination);
        return;
    }

    // Marked before the first wait: a second press while the target is captured (up to
    // about a second of activation and copy polling) must not start a second capture.
    m_agentStarting = true;
    captureAndListen(includeScreenshot, conversationID, profileID);
}

QCoro::Task<void> AppState::captureAndListen(bool includeScreenshot, std::optional<QUuid> conversationID,
                                             std::optional<QUuid> profileID)
{
    const QPointer<AppState> self(this);
    // Each task is made in a statement of its own and then awaited: GCC 12 destroys some
    // temporaries of an awaited call twice.
    auto capturing = agentContextCapture().capture(m_agentSettings.includeSelectedText, includeScreenshot);
    auto captured = co_await std::move(capturing);
    if (!self)
        co_return;
    m_agentStarting = false;

    // A Dictation or another Command that began while the capture was awaited keeps
    // the recorder and the target.
    if (dictationRunning(m_status) || isRunInFlight(m_agentPhase) || m_activeAgentRequestID) {
        if (captured)
            discardAttachmentFiles(captured.value().attachments, agentContextCapture().pendingAttachmentsFolder());
        co_return;
    }
    if (!captured) {
        showAgentError(captured.error().message(), AgentCommandRules::captureFailureDestination(captured.error()));
        co_return;
    }
    const AgentInvocationContext context = captured.value();

    const auto started = recorder().start();
    if (!started) {
        discardAttachmentFiles(context.attachments, agentContextCapture().pendingAttachmentsFolder());
        showAgentError(started.error().message(), includeScreenshot ? ErrorResolutionDestination::permissions()
                                                                    : ErrorResolutionDestination::commandSettings());
        co_return;
    }

    m_agentTarget = context.target;
    m_agentAttachments = context.attachments;
    m_agentRecordingConversationID = conversationID;
    m_agentWorkingConversationID = conversationID;
    m_agentRecordingProfileID = profileID;
    setTargetApplicationName(context.target.applicationName);

    // A Dictation result or error still on show would keep the overlay in its Dictation
    // layout.
    if (m_status.kind() == CaptureStatus::Kind::Success || m_status.kind() == CaptureStatus::Kind::Error)
        setStatus(CaptureStatus::idle());
    setAgentPhase(AgentPhase::Listening);
    setAgentPhaseDetail(AgentCommandRules::listeningDetail(m_agentSettings, profileID, includeScreenshot));
    clearActionError();
    setAgentStreamedText(QString());
    setAgentResultNeedsPaste(false);
    hotKey().registerCancel();
    showOverlay();
}

void AppState::stopAgentAndRun()
{
    if (m_agentPhase != AgentPhase::Listening)
        return;
    const auto recording = recorder().stop();
    const auto speechModel = selectedModel();

    const QList<AgentContextAttachment> attachments = std::exchange(m_agentAttachments, {});
    const auto conversationID = std::exchange(m_agentRecordingConversationID, std::nullopt);
    const auto profileID = std::exchange(m_agentRecordingProfileID, std::nullopt);

    // Without a recording (the microphone failed meanwhile) or a speech model there is
    // nothing to transcribe; staying in listening would leave the user stuck there.
    if (!recording || !speechModel) {
        if (recording)
            QFile::remove(recording->path);
        discardAttachmentFiles(attachments, agentContextCapture().pendingAttachmentsFolder());
        if (!recording)
            showAgentError(RecorderError::unavailable().message(), ErrorResolutionDestination::commandSettings());
        else
            showAgentError(AgentRuntimeError::speechModelUnavailable().message(),
                           ErrorResolutionDestination::dictationModels());
        return;
    }

    hotKey().unregisterCancel();
    setAgentPhase(AgentPhase::Transcribing);
    setAgentPhaseDetail(speechModel->name);
    setTranscriptionProgress(0.04);
    showOverlay();
    transcribeInstruction(recording->path, *speechModel, conversationID, attachments, profileID);
}

QCoro::Task<void> AppState::transcribeInstruction(QString audioPath, SpeechModel speechModel,
                                                  std::optional<QUuid> conversationID,
                                                  QList<AgentContextAttachment> attachments,
                                                  std::optional<QUuid> profileID)
{
    const QPointer<AppState> self(this);
    const QString modelPath = modelStore().filePath(speechModel);
    const WhisperRunner::ProgressCallback progress = [self](double value) {
        if (self && self->m_agentPhase == AgentPhase::Transcribing)
            self->setTranscriptionProgress(std::min(value, 0.98));
    };
    auto transcribing = whisper().transcribe(audioPath, speechModel, modelPath, m_vocabulary, progress);
    const auto transcript = co_await std::move(transcribing);
    QFile::remove(audioPath);
    if (!self)
        co_return;
    if (m_agentPhase != AgentPhase::Transcribing) {
        discardAttachmentFiles(attachments, agentContextCapture().pendingAttachmentsFolder());
        co_return;
    }

    QString instruction;
    if (transcript)
        instruction = transcript.value().trimmed();
    else if (transcript.error().kind() != SorvaneError::Kind::EmptyTranscript) {
        discardAttachmentFiles(attachments, agentContextCapture().pendingAttachmentsFolder());
        showAgentError(transcript.error().message(), ErrorResolutionDestination::commandModels());
        co_return;
    }
    if (instruction.isEmpty()) {
        discardAttachmentFiles(attachments, agentContextCapture().pendingAttachmentsFolder());
        showAgentError(AgentRuntimeError::noInstruction().message(), ErrorResolutionDestination::commandModels());
        co_return;
    }

    const QUuid id = conversationID.value_or(QUuid::createUuid());
    const QList<AgentContextAttachment> stored = persist(attachments, id);
    if (conversationID)
        agentConversationStore().addUserMessage(instruction, stored, id);
    else
        agentConversationStore().createConversation(id, instruction, stored, m_targetApplicationName);
    m_agentWorkingConversationID = id;
    setActiveAgentConversationID(id);
    auto running = runAgent(instruction, id, stored, conversationID.has_value(), profileID);
    co_await std::move(running);
}

QList<AgentContextAttachment> AppState::persist(const QList<AgentContextAttachment> &attachments,
                                                const QUuid &conversationID)
{
    return AgentCommandRules::moveAttachments(attachments, agentConversationStore().attachmentFolder(conversationID),
                                              agentContextCapture().pendingAttachmentsFolder());
}

// ---- Follow-ups and result actions ---------------------------------------------------

void AppState::startAgentFollowUpRecording()
{
    if (!m_activeAgentConversationID)
        return;
    if (m_agentPhase == AgentPhase::Listening) {
        stopAgentAndRun();
        return;
    }
    startAgentRecording(false, m_activeAgentConversationID, m_activeAgentProfileID);
}

void AppState::submitAgentFollowUp(const QString &text, const QList<AgentContextAttachment> &attachments)
{
    const QString instruction = text.trimmed();
    if (instruction.isEmpty() || !m_activeAgentConversationID || isCommandBusy())
        return;
    const QUuid id = *m_activeAgentConversationID;
    const QList<AgentContextAttachment> stored = persist(attachments, id);
    agentConversationStore().addUserMessage(instruction, stored, id);
    // The run sets its phase before its first wait, so a second submit that comes
    // before this one is under way is refused by the check above.
    runAgent(instruction, id, stored, true, m_activeAgentProfileID);
}

QCoro::Task<Result<AgentContextAttachment, QString>> AppState::captureAgentScreenshotAttachment()
{
    const auto model = selectedAgentModel();
    if (!model || !model->capabilities.images)
        co_return AgentRuntimeError::screenshotsUnsupported().message();
    // The Command's target, never the front application: opening the conversation
    // window has made this program the front one.
    const std::optional<AgentTargetSnapshot> target = m_agentTarget ? m_agentTarget : agentPaste().lastTarget();
    auto capturing = agentContextCapture().captureWindowScreenshot(target ? target->application : std::nullopt,
                                                                   target ? target->applicationName : QString());
    const auto screenshot = co_await std::move(capturing);
    if (!screenshot)
        co_return screenshot.error().message();
    co_return screenshot.value();
}

void AppState::openAgentConversation(const QUuid &conversationID)
{
    setActiveAgentConversationID(conversationID);
    setAgentPanelVisible(true);
    AgentResultPresenter *panel = agentResultController();
    if (!panel)
        return;
    panel->hideResult();
    if (!panel->isConversationPanelVisible())
        panel->centreConversationPanel();
    m_services.windows.activateApplication();
    panel->presentConversationPanel();
}

void AppState::copyAgentResult()
{
    if (m_agentResultText.isEmpty())
        return;
    agentPaste().copyToClipboard(m_agentResultText);
    setAgentResultNeedsPaste(false);
}

void AppState::copyAgentAnswer(const QUuid &conversationID)
{
    const auto conversation = agentConversationStore().conversation(conversationID);
    const QString answer = conversation ? conversation->lastAnswer() : QString();
    if (answer.isEmpty())
        return;
    agentPaste().copyToClipboard(answer);
    if (answer == m_agentResultText)
        setAgentResultNeedsPaste(false);
}

void AppState::pasteAgentAnswer(const QUuid &conversationID)
{
    const auto conversation = agentConversationStore().conversation(conversationID);
    pasteAgentText(conversation ? conversation->lastAnswer() : QString());
}

void AppState::pasteAgentResult()
{
    pasteAgentText(m_agentResultText);
}

void AppState::pasteAgentText(const QString &text)
{
    if (text.isEmpty() || !m_services.permissions.accessibilityGranted())
        return;
    agentPaste().copyToClipboard(text);
    const std::optional<AgentTargetSnapshot> target = agentPaste().lastTarget() ? agentPaste().lastTarget() : m_agentTarget;
    pasteResultInto(target ? target->application : std::nullopt);
}

QCoro::Task<void> AppState::pasteResultInto(std::optional<RunningApplication> application)
{
    const QPointer<AppState> self(this);
    auto pasting = agentContextCapture().paste(application);
    const bool pasted = co_await std::move(pasting);
    if (self)
        setAgentResultNeedsPaste(!pasted);
}

} // namespace sorvane

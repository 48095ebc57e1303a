// The Dictation flow and the global-shortcut entry points of the application state:
// from the toggle or push-to-talk through the recording, the speech engine and the
// optional cleanup to the clipboard, the history and the paste.

#include "State/AppState.h"

#include "Shared/AppPaths.h"
#include "Dictation/DictationFlowRules.h"
#include "Platform/Keystrokes.h"
#include "Platform/SystemClipboard.h"
#include "Services/Command/AgentRuntimeService.h"
#include "Services/Shell/HotKeyManager.h"
#include "Services/Dictation/WhisperRunner.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <algorithm>
#include <functional>

namespace sorvane {

Q_LOGGING_CATEGORY(lcDictation, "sorvane.dictation")

namespace {

using namespace dictationflow;

bool isRecording(const CaptureStatus &status) { return status.kind() == CaptureStatus::Kind::Recording; }

void removeRecording(const QString &path)
{
    // The file is ours alone; a failure leaves it for the clean-up at the next start.
    if (!path.isEmpty() && QFile::exists(path) && !QFile::remove(path))
        qCInfo(lcDictation) << "Could not delete the recording" << path;
}

} // namespace

// ---- Hot-key callbacks -----------------------------------------------------------

void AppState::connectHotKeyCallbacks()
{
    // Each callback reaches the state on a later turn of the main loop, and only while
    // the state still exists.
    const QPointer<AppState> state(this);
    auto later = [state](std::function<void(AppState &)> operation) {
        return [state, operation] {
            if (!state)
                return;
            QMetaObject::invokeMethod(
                state.data(), [state, operation] {
                    if (state)
                        operation(*state);
                },
                Qt::QueuedConnection);
        };
    };
    HotKeyManager &hotKeys = m_services.hotKeys;
    hotKeys.onToggle = later([](AppState &s) { s.toggleRecording(); });
    hotKeys.onPushToTalkBegan = later([](AppState &s) { s.beginPushToTalk(); });
    hotKeys.onPushToTalkEnded = later([](AppState &s) { s.endPushToTalk(); });
    hotKeys.onCancel = later([](AppState &s) { s.cancelRecording(); });
    hotKeys.onAgentToggle = later([](AppState &s) { s.toggleAgentRecording(false, std::nullopt); });
    hotKeys.onAgentScreenshotToggle = later([](AppState &s) { s.toggleAgentRecording(true, std::nullopt); });
    hotKeys.onAgentProfileToggle = [later](int index) {
        later([index](AppState &s) { s.toggleAgentRecordingForProfile(index); })();
    };
    connect(&hotKeys, &HotKeyManager::refusedShortcutsChanged, this, &AppState::refusedShortcutsChanged);

    // The recorder ends a recording by itself when the microphone goes away.
    connect(&m_services.recorder, &AudioRecorder::failed, this, &AppState::dictationRecordingFailed);
}

QString AppState::shortcutRefusalReason(const KeyboardShortcutSetting &shortcut) const
{
    return m_services.hotKeys.refusalReason(shortcut);
}

QSet<KeyboardShortcutSetting> AppState::refusedShortcuts() const { return m_services.hotKeys.refusedShortcuts(); }

QVariantList AppState::refusedShortcutList() const
{
    QList<KeyboardShortcutSetting> shortcuts = refusedShortcuts().values();
    // A stable order for the screen.
    std::sort(shortcuts.begin(), shortcuts.end(), [](const auto &a, const auto &b) {
        return a.displayName() < b.displayName();
    });
    QVariantList list;
    for (const KeyboardShortcutSetting &shortcut : std::as_const(shortcuts))
        list.append(QVariant::fromValue(shortcut));
    return list;
}

// ---- Entry operations --------------------------------------------------------------

void AppState::toggleRecording()
{
    if (isRunInFlight(m_agentPhase))
        return;
    switch (m_status.kind()) {
    case CaptureStatus::Kind::Recording:
        stopAndTranscribe();
        return;
    case CaptureStatus::Kind::Processing:
        return;
    case CaptureStatus::Kind::Idle:
    case CaptureStatus::Kind::Success:
    case CaptureStatus::Kind::Error:
        startRecording();
        return;
    }
}

void AppState::beginPushToTalk()
{
    if (m_pushToTalkActive)
        return;
    const auto kind = m_status.kind();
    if (kind == CaptureStatus::Kind::Recording || kind == CaptureStatus::Kind::Processing)
        return;
    m_pushToTalkActive = true;
    startRecording();
    // A press that started nothing owns no recording: its release must not end one
    // that a later toggle starts while the key is still held.
    if (!isRecording(m_status))
        m_pushToTalkActive = false;
}

void AppState::endPushToTalk()
{
    if (!m_pushToTalkActive)
        return;
    m_pushToTalkActive = false;
    if (isRecording(m_status))
        stopAndTranscribe();
}

void AppState::cancelRecording()
{
    if (m_agentPhase == AgentPhase::Listening) {
        cancelOverlayHide();
        m_services.hotKeys.unregisterCancel();
        m_services.recorder.cancel();
        m_agentProgressTask.reset();
        setAgentProgress(0);
        setAgentPhase(AgentPhase::Cancelled);
        setAgentPhaseDetail(QStringLiteral("Cancelled"));
        scheduleAgentOverlayHide(cancelledCommandHideDelay);
        return;
    }
    if (isRunInFlight(m_agentPhase) && m_activeAgentRequestID) {
        const QUuid requestID = *m_activeAgentRequestID;
        m_activeAgentRequestID.reset();
        m_services.runtime.cancel(requestID);
        m_agentProgressTask.reset();
        setAgentProgress(0);
        setAgentPhase(AgentPhase::Cancelled);
        setAgentPhaseDetail(QStringLiteral("Cancelled"));
        m_services.hotKeys.unregisterCancel();
        scheduleAgentOverlayHide(cancelledCommandHideDelay);
        return;
    }
    if (isRecording(m_status)) {
        cancelOverlayHide();
        m_services.hotKeys.unregisterCancel();
        m_pushToTalkActive = false;
        m_services.recorder.cancel();
        setStatus(CaptureStatus::idle());
        hideOverlayNow();
    }
    // Anything else, a Command whose instruction is still being transcribed included,
    // is not cancelled here.
}

void AppState::toggleAgentRecording(bool includeScreenshot, const std::optional<QUuid> &profileID)
{
    if (m_agentPhase == AgentPhase::Listening) {
        stopAgentAndRun();
        return;
    }
    if (isRunInFlight(m_agentPhase))
        return;
    startAgentRecording(includeScreenshot, std::nullopt, profileID);
}

// ---- Starting and stopping -------------------------------------------------------

void AppState::showOverlay()
{
    if (OverlayPresenter *overlay = overlayController())
        overlay->show();
}

void AppState::startRecording()
{
    if (isRunInFlight(m_agentPhase))
        return;
    cancelOverlayHide();
    refreshPermissions();
    m_permissionAttention.reset();

    if (const auto missing = missingPermission(m_automaticPaste, m_microphoneGranted, m_accessibilityGranted)) {
        showPermissionError(*missing);
        return;
    }
    if (!canDictate()) {
        showModelMissing();
        return;
    }
    clearActionError();

    const AgentTargetSnapshot target = m_services.capture.captureTarget();
    m_targetApplication = target.application;
    setTargetApplicationName(target.applicationName);

    // The recorder hands its file back on stop; nothing of it is kept here.
    const auto started = m_services.recorder.start();
    if (!started) {
        const QString message = started.error().message();
        setStatus(CaptureStatus::error(message));
        m_permissionAttention.reset();
        setErrorResolution(ErrorResolution(message, ErrorResolutionDestination::permissions()));
        showOverlay();
        scheduleOverlayHide(recorderFailureHideDelay);
        return;
    }
    setStatus(CaptureStatus::recording());
    m_services.hotKeys.registerCancel();
    // No hide while recording: the overlay stays until the recording ends.
    showOverlay();
}

void AppState::showPermissionError(PermissionAttention attention)
{
    m_permissionAttention = attention;
    const QString message = permissionMessage(attention);
    setStatus(CaptureStatus::error(message));
    setErrorResolution(ErrorResolution(message, ErrorResolutionDestination::permissions()));
    showOverlay();
    scheduleOverlayHide(permissionHideDelay);
}

void AppState::showModelMissing()
{
    setSelectedSection(AppSection::Models);
    setStatus(CaptureStatus::error(modelMissingStatus()));
    setErrorResolution(ErrorResolution(modelMissingBanner(), ErrorResolutionDestination::dictationModels()));
    showOverlay();
    scheduleOverlayHide(modelMissingHideDelay);
    bringMainWindowForward();
}

void AppState::stopAndTranscribe()
{
    if (!isRecording(m_status))
        return;
    // Checked before the microphone stops: without a model the recording is dropped
    // and the dictation ends with the model message, so the next toggle starts afresh.
    const std::optional<SpeechModel> model = selectedModel();
    if (!model) {
        m_services.hotKeys.unregisterCancel();
        m_pushToTalkActive = false;
        m_services.recorder.cancel();
        showModelMissing();
        return;
    }
    const std::optional<FinishedRecording> recording = m_services.recorder.stop();
    m_services.hotKeys.unregisterCancel();
    m_pushToTalkActive = false;
    if (!recording) {
        // The recorder holds nothing (it already ended by itself): nothing to transcribe,
        // and the dictation must not stay "recording".
        setStatus(CaptureStatus::idle());
        hideOverlayNow();
        return;
    }
    m_recordingDuration = recording->duration;
    setStatus(CaptureStatus::processing());
    beginTranscriptionProgress(*model);
    // Runs on by itself; its end sets the status.
    transcribeRecording(*recording, *model);
}

void AppState::dictationRecordingFailed(const RecorderError &error)
{
    // The recorder serves Command's spoken instruction too; that is the Command flow's.
    if (!isRecording(m_status))
        return;
    cancelOverlayHide();
    m_services.hotKeys.unregisterCancel();
    m_pushToTalkActive = false;
    const QString message = error.message();
    qCInfo(lcDictation).noquote() << "The recording ended by itself:" << message << error.detail();
    setStatus(CaptureStatus::error(message));
    m_permissionAttention.reset();
    setErrorResolution(ErrorResolution(message, ErrorResolutionDestination::permissions()));
    showOverlay();
    scheduleOverlayHide(recorderFailureHideDelay);
}

// ---- Transcription ---------------------------------------------------------------

QCoro::Task<> AppState::transcribeRecording(FinishedRecording recording, SpeechModel model)
{
    const QPointer<AppState> self(this);
    // The model and the vocabulary of the moment the recording stopped.
    const QString modelPath = m_services.modelStore.filePath(model);
    const QStringList vocabulary = m_vocabulary;
    auto progress = [self](double fraction) {
        if (self)
            QMetaObject::invokeMethod(
                self.data(), [self, fraction] {
                    if (self)
                        self->reportEngineProgress(fraction);
                },
                Qt::QueuedConnection);
    };

    const auto transcript = co_await m_services.whisper.transcribe(recording.path, model, modelPath, vocabulary, progress);
    if (!self) {
        removeRecording(recording.path);
        co_return;
    }
    if (!transcript) {
        m_progressTask.reset();
        setTranscriptionProgress(0);
        removeRecording(recording.path);
        const QString message = transcript.error().message();
        setStatus(CaptureStatus::error(message));
        m_permissionAttention.reset();
        setErrorResolution(ErrorResolution(message, ErrorResolutionDestination::dictationModels()));
        scheduleOverlayHide(transcriptionFailureHideDelay);
        co_return;
    }

    const QString text = co_await smartCleanup(transcript.value());
    if (!self) {
        removeRecording(recording.path);
        co_return;
    }
    m_progressTask.reset();
    setTranscriptionProgress(1.0);
    co_await finishTranscription(text, model, recording.path);
}

void AppState::reportEngineProgress(double fraction)
{
    // A report that arrives once the transcription is over changes nothing.
    if (m_status.kind() != CaptureStatus::Kind::Processing)
        return;
    setTranscriptionProgress(progressAfterEngineReport(m_transcriptionProgress, fraction));
}

QCoro::Task<QString> AppState::smartCleanup(QString transcript)
{
    if (!m_smartDictationEnabled)
        co_return transcript;
    const auto model = m_services.agentModelStore.descriptor(QStringLiteral("apple-system"));
    if (!model)
        co_return transcript;
    // A path that names no program would only cost the runtime a failing request.
    const auto bridge = AgentRuntimeService::bundledExecutable(QStringLiteral("SorvaneAppleBridge"));
    if (!bridge || !QFileInfo(*bridge).isExecutable())
        co_return transcript;

    const AgentRuntimeRequest request =
        cleanupRequest(transcript, *model, *bridge, AppPaths::agentSessions(), QDateTime::currentDateTimeUtc());
    // No phase or progress of the cleanup is shown; the Dictation ticker runs on.
    const auto answer = co_await m_services.runtime.run(request, [](const AgentRuntimeEvent &) {});
    if (!answer) {
        qCDebug(lcDictation).noquote() << "Smart Dictation cleanup failed; the transcript is used as it is:"
                                       << answer.error().message();
        co_return transcript;
    }
    co_return cleanedOrOriginal(transcript, answer.value());
}

QCoro::Task<> AppState::finishTranscription(QString text, SpeechModel model, QString audioPath)
{
    const QPointer<AppState> self(this);
    setLastTranscript(text);
    // Taken before the clipboard is written.
    const PasteboardSnapshot snapshot = takeClipboardSnapshotForRestore();
    SystemClipboard &board = clipboard();
    board.clear();
    board.setText(text);
    removeRecording(audioPath);
    // Saved on the history's own thread, so a long history never delays the paste.
    m_services.historyStore.insert(
        HistoryItem::make(QDateTime::currentDateTimeUtc(), text, m_recordingDuration, model.id),
        HistoryStore::Write::InBackground);

    bool pasted = false;
    if (m_automaticPaste) {
        pasted = co_await m_services.capture.paste(m_targetApplication);
        if (!self)
            co_return;
        // Only a sent keystroke used the clipboard; otherwise the text stays there.
        if (pasted)
            scheduleClipboardRestore(snapshot);
    }
    m_lastDictationInserted = pasted;
    const auto &target = m_targetApplication;
    m_lastDictationPasteKeyName = clipboardPasteKeyName(target ? target->windowClass : QString(),
                                                        target ? target->windowInstance : QString())
                                      .value_or(QString());
    m_progressTask.reset();
    setStatus(CaptureStatus::success(text));
    m_permissionAttention.reset();
    playCompletionSound();
    scheduleOverlayHide(successHideDelay);
}

} // namespace sorvane

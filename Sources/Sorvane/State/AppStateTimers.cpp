// The state's timed actions: the transcription progress ticker, the one overlay hide,
// the one clipboard restore and the completion sound. Each keeps one handle; a new
// schedule replaces (and so cancels) the old one. Every action holds the state weakly
// through its handle: the handles die with the state.

#include "State/AppState.h"

#include "Platform/SoundPlayer.h"
#include "Platform/SystemClipboard.h"
#include "Dictation/TranscriptionProgressEstimator.h"

#include <QPointer>
#include <chrono>

namespace sorvane {

namespace {

constexpr std::chrono::milliseconds progressTickInterval{180};

std::chrono::milliseconds milliseconds(double seconds)
{
    return std::chrono::milliseconds(qRound64(seconds * 1000.0));
}

} // namespace

void AppState::beginTranscriptionProgress(const SpeechModel &model)
{
    m_progressTask.reset();
    setTranscriptionProgress(0.03);
    const SpeechEngine engine = model.engine;
    m_progressTask = m_services.timers.start(progressTickInterval, [this, engine] { tickTranscriptionProgress(engine); });
}

void AppState::tickTranscriptionProgress(SpeechEngine engine)
{
    if (m_status.kind() != CaptureStatus::Kind::Processing)
        return;
    setTranscriptionProgress(TranscriptionProgressEstimator::tick(m_transcriptionProgress, engine));
    m_progressTask = m_services.timers.start(progressTickInterval, [this, engine] { tickTranscriptionProgress(engine); });
}

void AppState::stopTranscriptionProgress() { m_progressTask.reset(); }

void AppState::cancelOverlayHide() { m_overlayHideTask.reset(); }

bool AppState::isOverlayHidePending() const { return m_overlayHideTask && m_overlayHideTask->isPending(); }

void AppState::hideOverlayNow()
{
    if (OverlayPresenter *overlay = overlayController())
        overlay->hide();
}

void AppState::scheduleOverlayHide(double seconds)
{
    m_overlayHideTask = m_services.timers.start(milliseconds(seconds), [this] {
        // Read when it fires: a Dictation that started since keeps its overlay.
        const auto kind = m_status.kind();
        if (kind == CaptureStatus::Kind::Recording || kind == CaptureStatus::Kind::Processing)
            return;
        // A Command under way keeps the overlay too; the Dictation result still goes,
        // so that the overlay shows the Command.
        if (!isRunInFlight(m_agentPhase))
            hideOverlayNow();
        setStatus(CaptureStatus::idle());
        setTranscriptionProgress(0);
    });
}

void AppState::scheduleAgentOverlayHide(double seconds)
{
    m_overlayHideTask = m_services.timers.start(milliseconds(seconds), [this] {
        if (isRunInFlight(m_agentPhase))
            return;
        // A Dictation that started since owns the overlay now.
        const auto kind = m_status.kind();
        if (kind == CaptureStatus::Kind::Recording || kind == CaptureStatus::Kind::Processing)
            return;
        hideOverlayNow();
    });
}

PasteboardSnapshot AppState::takeClipboardSnapshotForRestore()
{
    SystemClipboard &board = clipboard();
    // While the clipboard still holds the previous dictation's text, the clipboard from
    // before that dictation is the one to carry over.
    PasteboardSnapshot snapshot = m_pendingClipboardRestore && board.changeCount() == m_pendingClipboardRestore->changeCount
                                      ? m_pendingClipboardRestore->snapshot
                                      : PasteboardSnapshot::capture(board);
    m_pendingClipboardRestore.reset();
    return snapshot;
}

void AppState::scheduleClipboardRestore(const PasteboardSnapshot &snapshot)
{
    if (!m_clipboardRestoreEnabled)
        return;
    const qint64 expected = clipboard().changeCount();
    PendingClipboardRestore pending;
    pending.snapshot = snapshot;
    pending.changeCount = expected;
    pending.task = m_services.timers.start(std::chrono::seconds(m_clipboardRestoreDelay), [this, snapshot, expected] {
        // Taking the record ends its handle; the action itself runs on.
        auto finished = std::move(m_pendingClipboardRestore);
        m_pendingClipboardRestore.reset();
        SystemClipboard &board = clipboard();
        // Someone copied something since the paste: their copy stays.
        if (board.changeCount() == expected)
            snapshot.restore(board);
    });
    m_pendingClipboardRestore = std::move(pending);
}

bool AppState::isClipboardRestorePending() const { return m_pendingClipboardRestore.has_value(); }

void AppState::playCompletionSound()
{
    SoundPlayer &sounds = m_services.sounds;
    if (sounds.isPlaying())
        sounds.stop();
    if (!m_completionSoundEnabled)
        return;
    if (!sounds.play(m_completionSound, completionSoundVolume))
        sounds.beep();
}

void AppState::beep() { m_services.sounds.beep(); }

void AppState::resetOverlayPosition()
{
    if (OverlayPresenter *overlay = overlayController())
        overlay->resetPosition();
}

bool AppState::isCompletionSoundPlaying() const { return m_services.sounds.isPlaying(); }

} // namespace sorvane

#pragma once

#include "Command/AgentPhase.h"
#include "Dictation/DictationTypes.h"
#include "Dictation/SpeechModel.h"

#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

namespace sorvane {

// What the overlay draws, taken from the application state in one go. The overlay's
// view model fills it from the state; tests and pictures fill it by hand.
struct OverlayInputs {
    CaptureStatus::Kind status = CaptureStatus::Kind::Idle;
    AgentPhase agentPhase = AgentPhase::Idle;
    QString agentPhaseDetail;
    double agentProgress = 0;
    double transcriptionProgress = 0;
    // What a finished dictation did: inserted into the target, else only copied, with
    // the key that pastes the clipboard there (empty where no key does).
    bool resultInserted = true;
    QString resultPasteKeyName;
    // The message of a failed dictation; a failed Command's is its phase detail.
    QString statusMessage;
    QString targetApplicationName;
    // The cancel shortcut as it is shown ("Esc", "Ctrl+Alt+X").
    QString cancelShortcutName;
    std::optional<SpeechModel> selectedModel;
    // The selected writing model's name, when one is selected.
    std::optional<QString> selectedAgentModelName;
    OverlaySize overlaySize = OverlaySize::Classic;
    OverlayAppearance overlayAppearance = OverlayAppearance::Automatic;
    // The recorder's recent levels, 0 to 1, newest last.
    QList<double> samples;
    std::optional<QDateTime> recordingStartedAt;

    // A Command is shown while it runs and Dictation is idle.
    bool overlayShowsAgent() const
    {
        return agentPhase != AgentPhase::Idle && status == CaptureStatus::Kind::Idle;
    }
};

enum class OverlayLayout { Classic, Mini, CommandListening, CommandCompact };
// What the classic pill shows at its right end.
enum class ClassicTrailing { KeyCap, ElapsedAndKeyCap, Progress, Symbol };
// The colour of a Command phase: the palette's signal, or a toolkit colour.
enum class PhaseColour { Signal, Green, Secondary, Red };

// The overlay's words, symbols, sizes and bar heights as plain functions of its
// inputs; the QML only draws what these return.
namespace OverlayPresentation {

OverlayLayout layout(const OverlayInputs &inputs);
// The window's size: the pill plus 4 pixels of margin on every side.
QSize panelSize(const OverlayInputs &inputs);
QSize pillSize(OverlayLayout layout);

QString title(const OverlayInputs &inputs);
QString secondaryLabel(const OverlayInputs &inputs);
ClassicTrailing classicTrailing(CaptureStatus::Kind status);
// The classic pill's trailing symbol on success and error; empty otherwise.
QString classicTrailingSymbol(CaptureStatus::Kind status);
QString miniStatusIcon(CaptureStatus::Kind status);

// What the pill says, read by screen readers in every layout: the title and the hint,
// or the Command's phase and its detail.
QString accessibleText(const OverlayInputs &inputs);
// Why it failed, for screen readers, while the pill shows an error; empty otherwise.
QString accessibleDescription(const OverlayInputs &inputs);

QString agentPhaseWord(AgentPhase phase);
QString agentDetail(const OverlayInputs &inputs);
QString agentPhaseIcon(AgentPhase phase);
PhaseColour agentPhaseColour(AgentPhase phase);
// The badge spins (rather than showing the phase symbol) in these phases.
bool agentPhaseShowsSpinner(AgentPhase phase);
std::optional<QString> agentProgressLabel(const OverlayInputs &inputs);

// A progress of 0 to 1 as a whole percentage, halves rounded away from zero
// (0.125 gives "13%"); anything not finite gives "0%".
QString percentage(double progress);
// The transcription's percentage, "~" first for the parakeet engine, whose progress is estimated.
QString progressLabel(double progress, std::optional<SpeechEngine> engine);
// From this progress on, the indicator spins instead of showing a number.
bool transcriptionShowsSpinner(double progress);

// The recent level bar `index` of `count` shows: newest on the right, oldest dropped.
double level(int index, int count, const QList<double> &samples);
// One Dictation bar's height. `seconds` is the clock's time in seconds since
// 1 January 2001 (the processing wave moves with it).
double barHeight(int index, int count, double maximumHeight, CaptureStatus::Kind status,
                 const QList<double> &samples, double seconds);
QList<double> liveBarHeights(int count, double maximumHeight, CaptureStatus::Kind status,
                             const QList<double> &samples, double seconds);
// The Command waveform follows the levels whatever the phase.
QList<double> agentBarHeights(int count, double maximumHeight, const QList<double> &samples);

double secondsSinceReferenceDate(const QDateTime &time);
// Whole elapsed recording time as text ("0:07"); "0:00" before the recording has a start.
QString elapsedLabel(const std::optional<QDateTime> &startedAt, const QDateTime &now);

bool usesDarkAppearance(OverlayAppearance appearance, bool systemIsDark);

} // namespace OverlayPresentation

} // namespace sorvane

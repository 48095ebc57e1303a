#include "OverlayPresentation.h"

#include "Dictation/TranscriptionProgressEstimator.h"

#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace sorvane::OverlayPresentation {

using Kind = CaptureStatus::Kind;

OverlayLayout layout(const OverlayInputs &inputs)
{
    if (inputs.overlayShowsAgent())
        return inputs.agentPhase == AgentPhase::Listening ? OverlayLayout::CommandListening
                                                           : OverlayLayout::CommandCompact;
    return inputs.overlaySize == OverlaySize::Mini ? OverlayLayout::Mini : OverlayLayout::Classic;
}

QSize pillSize(OverlayLayout layout)
{
    switch (layout) {
    case OverlayLayout::Classic:
    case OverlayLayout::CommandListening:
        return {310, 56};
    case OverlayLayout::Mini:
        return {152, 36};
    case OverlayLayout::CommandCompact:
        return {224, 40};
    }
    return {310, 56};
}

QSize panelSize(const OverlayInputs &inputs)
{
    return pillSize(layout(inputs)) + QSize(8, 8);
}

QString title(const OverlayInputs &inputs)
{
    switch (inputs.status) {
    case Kind::Idle: return QStringLiteral("Ready");
    case Kind::Recording: return QStringLiteral("Listening");
    case Kind::Processing: return QStringLiteral("Transcribing");
    case Kind::Success: return inputs.resultInserted ? QStringLiteral("Pasted") : QStringLiteral("Copied to clipboard");
    case Kind::Error: return QStringLiteral("Needs attention");
    }
    return {};
}

QString secondaryLabel(const OverlayInputs &inputs)
{
    switch (inputs.status) {
    case Kind::Idle:
        return QStringLiteral("Your voice stays on this computer");
    case Kind::Recording:
        if (!inputs.targetApplicationName.isEmpty())
            return QStringLiteral("Into ") + inputs.targetApplicationName;
        return inputs.cancelShortcutName + QStringLiteral(" to cancel");
    case Kind::Processing:
        if (!inputs.selectedModel)
            return QStringLiteral("On-device model");
        return inputs.selectedModel->name + QStringLiteral(" · ") + inputs.selectedModel->organization;
    case Kind::Success:
        // Says what was done, whatever the automatic-paste setting asked for.
        if (inputs.resultInserted)
            return QStringLiteral("Copied and inserted");
        if (!inputs.resultPasteKeyName.isEmpty())
            return QStringLiteral("Press ") + inputs.resultPasteKeyName + QStringLiteral(" to paste");
        return QStringLiteral("Not inserted");
    case Kind::Error:
        return QStringLiteral("Click to see why and fix it");
    }
    return {};
}

ClassicTrailing classicTrailing(Kind status)
{
    switch (status) {
    case Kind::Idle: return ClassicTrailing::KeyCap;
    case Kind::Recording: return ClassicTrailing::ElapsedAndKeyCap;
    case Kind::Processing: return ClassicTrailing::Progress;
    case Kind::Success:
    case Kind::Error: return ClassicTrailing::Symbol;
    }
    return ClassicTrailing::KeyCap;
}

QString classicTrailingSymbol(Kind status)
{
    if (status == Kind::Success)
        return QStringLiteral("checkmark");
    if (status == Kind::Error)
        return QStringLiteral("arrow.up.right");
    return {};
}

QString miniStatusIcon(Kind status)
{
    switch (status) {
    case Kind::Idle: return QStringLiteral("waveform");
    case Kind::Recording: return QStringLiteral("circle.fill");
    case Kind::Processing: return QStringLiteral("ellipsis");
    case Kind::Success: return QStringLiteral("checkmark");
    case Kind::Error: return QStringLiteral("arrow.up.right");
    }
    return {};
}

QString accessibleText(const OverlayInputs &inputs)
{
    switch (layout(inputs)) {
    case OverlayLayout::Classic:
    case OverlayLayout::Mini:
        return title(inputs) + QStringLiteral(". ") + secondaryLabel(inputs);
    case OverlayLayout::CommandListening:
        return QStringLiteral("Command listening. ") + agentDetail(inputs);
    case OverlayLayout::CommandCompact:
        return agentPhaseWord(inputs.agentPhase) + QStringLiteral(". ") + agentDetail(inputs);
    }
    return {};
}

QString accessibleDescription(const OverlayInputs &inputs)
{
    if (inputs.overlayShowsAgent())
        return inputs.agentPhase == AgentPhase::Error ? inputs.agentPhaseDetail : QString();
    return inputs.status == Kind::Error ? inputs.statusMessage : QString();
}

QString agentPhaseWord(AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Idle: return QStringLiteral("Ready");
    case AgentPhase::Listening: return QStringLiteral("Listening");
    case AgentPhase::Transcribing: return QStringLiteral("Transcribing");
    case AgentPhase::LoadingModel: return QStringLiteral("Loading model");
    case AgentPhase::Generating: return QStringLiteral("Writing");
    case AgentPhase::Completed: return QStringLiteral("Done");
    case AgentPhase::Cancelled: return QStringLiteral("Cancelled");
    case AgentPhase::Error: return QStringLiteral("Needs attention");
    }
    return {};
}

QString agentDetail(const OverlayInputs &inputs)
{
    switch (inputs.agentPhase) {
    case AgentPhase::Transcribing:
        return QStringLiteral("Speech to text");
    case AgentPhase::Generating:
        return inputs.selectedAgentModelName.value_or(QStringLiteral("Local model"));
    case AgentPhase::Error:
        return QStringLiteral("Click to see why and fix it");
    default:
        return inputs.agentPhaseDetail;
    }
}

QString agentPhaseIcon(AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Completed: return QStringLiteral("checkmark");
    case AgentPhase::Cancelled: return QStringLiteral("xmark");
    case AgentPhase::Error: return QStringLiteral("exclamationmark");
    default: return QStringLiteral("wand.and.stars");
    }
}

PhaseColour agentPhaseColour(AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Completed: return PhaseColour::Green;
    case AgentPhase::Cancelled: return PhaseColour::Secondary;
    case AgentPhase::Error: return PhaseColour::Red;
    default: return PhaseColour::Signal;
    }
}

bool agentPhaseShowsSpinner(AgentPhase phase)
{
    return phase == AgentPhase::Idle || phase == AgentPhase::Listening || phase == AgentPhase::Transcribing;
}

std::optional<QString> agentProgressLabel(const OverlayInputs &inputs)
{
    switch (inputs.agentPhase) {
    case AgentPhase::Transcribing: return percentage(inputs.transcriptionProgress);
    case AgentPhase::LoadingModel:
    case AgentPhase::Generating: return percentage(inputs.agentProgress);
    case AgentPhase::Completed: return QStringLiteral("100%");
    default: return std::nullopt;
    }
}

QString percentage(double progress)
{
    if (!std::isfinite(progress))
        return QStringLiteral("0%");
    // Products such as 0.145 × 100 land a hair below the half they mean; a nudge far
    // below one percent keeps them on the side a person would round to.
    const double scaled = progress * 100.0;
    const double rounded = std::round(scaled + std::copysign(1e-9, scaled));
    // Formatted as a double: a cast to an integer type is undefined for values beyond
    // its range. Adding 0 turns a rounded -0 into 0.
    return QString::number(rounded + 0.0, 'f', 0) + QLatin1Char('%');
}

QString progressLabel(double progress, std::optional<SpeechEngine> engine)
{
    const QString prefix = engine == SpeechEngine::Parakeet ? QStringLiteral("~") : QString();
    return prefix + percentage(progress);
}

bool transcriptionShowsSpinner(double progress)
{
    return progress >= TranscriptionProgressEstimator::cap;
}

double level(int index, int count, const QList<double> &samples)
{
    const qsizetype c = samples.size();
    if (c == 0)
        return 0.015;
    const qsizetype position = std::min<qsizetype>(std::max<qsizetype>(c - count, 0) + index, c - 1);
    return samples.at(std::max<qsizetype>(position, 0));
}

double barHeight(int index, int count, double maximumHeight, Kind status, const QList<double> &samples,
                 double seconds)
{
    const double h = maximumHeight;
    switch (status) {
    case Kind::Recording:
        return (h - 1.5) * level(index, count, samples) + 1.5;
    case Kind::Processing:
        return h * 0.82 * (std::sin(index * 0.66 + seconds * 2.6) + 1) * 0.5 + 1.5;
    case Kind::Success: {
        const double n = std::max(count, 1);
        return std::max(1.5, h * std::max(0.12, 1 - std::abs(index - (count - 1) * 0.5) / n));
    }
    case Kind::Idle:
    case Kind::Error:
        return index % 3 == 0 ? 7.0 : 2.5;
    }
    return 2.5;
}

QList<double> liveBarHeights(int count, double maximumHeight, Kind status, const QList<double> &samples,
                             double seconds)
{
    QList<double> heights;
    heights.reserve(std::max(count, 0));
    for (int i = 0; i < count; ++i)
        heights << barHeight(i, count, maximumHeight, status, samples, seconds);
    return heights;
}

QList<double> agentBarHeights(int count, double maximumHeight, const QList<double> &samples)
{
    QList<double> heights;
    heights.reserve(std::max(count, 0));
    for (int i = 0; i < count; ++i)
        heights << (maximumHeight - 1.5) * level(i, count, samples) + 1.5;
    return heights;
}

double secondsSinceReferenceDate(const QDateTime &time)
{
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return reference.msecsTo(time) / 1000.0;
}

QString elapsedLabel(const std::optional<QDateTime> &startedAt, const QDateTime &now)
{
    if (!startedAt)
        return RecordingDurationFormatter::label(0);
    const double elapsed = startedAt->msecsTo(now) / 1000.0;
    return RecordingDurationFormatter::label(std::max(0.0, elapsed));
}

bool usesDarkAppearance(OverlayAppearance appearance, bool systemIsDark)
{
    switch (appearance) {
    case OverlayAppearance::Dark: return true;
    case OverlayAppearance::Light: return false;
    case OverlayAppearance::Automatic: return systemIsDark;
    }
    return systemIsDark;
}

} // namespace sorvane::OverlayPresentation

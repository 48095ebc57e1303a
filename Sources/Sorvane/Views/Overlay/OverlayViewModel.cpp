#include "OverlayViewModel.h"

#include "State/AppState.h"
#include "DesktopColorScheme.h"
#include "Kit/Palette.h"
#include "OverlayClock.h"

#include <cmath>

namespace sorvane {

namespace P = OverlayPresentation;

OverlayViewModel::OverlayViewModel(OverlayClock &clock, QObject *parent) : QObject(parent), m_clock(clock)
{
    connect(&m_clock, &OverlayClock::ticked, this, &OverlayViewModel::frameChanged);
}

// The constructor QML uses: the preview draws the pill as the desktop would show it.
OverlayViewModel::OverlayViewModel(QObject *parent)
    : QObject(parent), m_ownClock(std::make_unique<OverlayClock>()), m_clock(*m_ownClock)
{
    connect(&m_clock, &OverlayClock::ticked, this, &OverlayViewModel::frameChanged);
    followDesktopColorScheme();
}

OverlayViewModel::~OverlayViewModel() = default;

void OverlayViewModel::setState(AppState *state)
{
    const bool differs = state != m_state;
    for (const auto &connection : std::as_const(m_stateConnections))
        disconnect(connection);
    m_stateConnections.clear();
    m_state = state;
    if (differs)
        Q_EMIT stateChanged();
    if (!state)
        return;
    auto follow = [this, state](auto signal) {
        m_stateConnections << connect(state, signal, this, &OverlayViewModel::readState);
    };
    follow(&AppState::statusChanged);
    follow(&AppState::agentPhaseChanged);
    follow(&AppState::agentPhaseDetailChanged);
    follow(&AppState::agentProgressChanged);
    follow(&AppState::transcriptionProgressChanged);
    follow(&AppState::targetApplicationNameChanged);
    follow(&AppState::cancelShortcutChanged);
    follow(&AppState::selectedModelChanged);
    follow(&AppState::selectedAgentModelChanged);
    follow(&AppState::overlaySizeChanged);
    follow(&AppState::overlayAppearanceChanged);
    m_stateConnections << connect(&state->recorder(), &AudioRecorder::samplesChanged, this, [this] {
        if (m_state)
            m_inputs.samples = m_state->recorder().samples();
        Q_EMIT frameChanged();
    });
    readState();
}

void OverlayViewModel::readState()
{
    if (!m_state)
        return;
    const AppState &state = *m_state;
    OverlayInputs inputs;
    inputs.status = state.status().kind();
    inputs.agentPhase = state.agentPhase();
    inputs.agentPhaseDetail = state.agentPhaseDetail();
    inputs.agentProgress = state.agentProgress();
    inputs.transcriptionProgress = state.transcriptionProgress();
    inputs.resultInserted = state.lastDictationInserted();
    inputs.resultPasteKeyName = state.lastDictationPasteKeyName();
    inputs.statusMessage = state.status().text();
    inputs.targetApplicationName = state.targetApplicationName();
    inputs.cancelShortcutName = state.cancelShortcut().displayName();
    inputs.selectedModel = state.selectedModel();
    if (const auto agentModel = state.selectedAgentModel())
        inputs.selectedAgentModelName = agentModel->name;
    inputs.overlaySize = state.overlaySize();
    inputs.overlayAppearance = state.overlayAppearance();
    inputs.samples = state.recorder().samples();
    inputs.recordingStartedAt = m_inputs.recordingStartedAt;
    m_inputs = inputs;
    noteRecordingStart();
    Q_EMIT changed();
    Q_EMIT frameChanged();
}

// The elapsed time counts from the moment a recording (of a dictation or of a spoken
// instruction) began to be shown.
void OverlayViewModel::noteRecordingStart()
{
    const bool recording =
        m_inputs.status == CaptureStatus::Kind::Recording || m_inputs.agentPhase == AgentPhase::Listening;
    if (!recording)
        m_inputs.recordingStartedAt.reset();
    else if (!m_inputs.recordingStartedAt)
        m_inputs.recordingStartedAt = m_clock.now();
}

void OverlayViewModel::setInputs(const OverlayInputs &inputs)
{
    setState(nullptr);
    m_inputs = inputs;
    Q_EMIT changed();
    Q_EMIT frameChanged();
}

void OverlayViewModel::setSystemDark(bool dark)
{
    if (m_systemDark == dark)
        return;
    m_systemDark = dark;
    Q_EMIT changed();
}

void OverlayViewModel::followDesktopColorScheme()
{
    if (m_colorScheme)
        return;
    m_colorScheme = &DesktopColorScheme::shared();
    setSystemDark(m_colorScheme->isDark());
    connect(m_colorScheme, &DesktopColorScheme::changed, this, [this] { setSystemDark(m_colorScheme->isDark()); });
}

QString OverlayViewModel::layoutName() const
{
    switch (layout()) {
    case OverlayLayout::Classic: return QStringLiteral("classic");
    case OverlayLayout::Mini: return QStringLiteral("mini");
    case OverlayLayout::CommandListening: return QStringLiteral("commandListening");
    case OverlayLayout::CommandCompact: return QStringLiteral("commandCompact");
    }
    return QStringLiteral("classic");
}

bool OverlayViewModel::isDark() const
{
    return P::usesDarkAppearance(m_inputs.overlayAppearance, m_systemDark);
}

QColor OverlayViewModel::ink() const
{
    return isDark() ? QColor(Qt::white) : QColor(Qt::black);
}

QString OverlayViewModel::trailing() const
{
    switch (P::classicTrailing(m_inputs.status)) {
    case ClassicTrailing::KeyCap: return QStringLiteral("keyCap");
    case ClassicTrailing::ElapsedAndKeyCap: return QStringLiteral("elapsedAndKeyCap");
    case ClassicTrailing::Progress: return QStringLiteral("progress");
    case ClassicTrailing::Symbol: return QStringLiteral("symbol");
    }
    return QStringLiteral("keyCap");
}

QString OverlayViewModel::miniTrailing() const
{
    if (m_inputs.status == CaptureStatus::Kind::Recording)
        return QStringLiteral("elapsed");
    if (m_inputs.status == CaptureStatus::Kind::Processing)
        return QStringLiteral("progress");
    return QStringLiteral("symbol");
}

QString OverlayViewModel::progressText() const
{
    std::optional<SpeechEngine> engine;
    if (m_inputs.selectedModel)
        engine = m_inputs.selectedModel->engine;
    return P::progressLabel(m_inputs.transcriptionProgress, engine);
}

QColor OverlayViewModel::agentColor() const
{
    switch (P::agentPhaseColour(m_inputs.agentPhase)) {
    case PhaseColour::Signal: return Palette::sorvaneSignal();
    case PhaseColour::Green: return Palette::systemGreen();
    case PhaseColour::Red: return Palette::systemRed();
    case PhaseColour::Secondary: {
        QColor secondary = ink();
        secondary.setAlphaF(0.55f);
        return secondary;
    }
    }
    return Palette::sorvaneSignal();
}

bool OverlayViewModel::agentBadgeFilled() const
{
    // The signal yellow is not readable on a white pill, only as a fill under ink.
    return !isDark() && P::agentPhaseColour(m_inputs.agentPhase) == PhaseColour::Signal;
}

QColor OverlayViewModel::agentSymbolColor() const
{
    return agentBadgeFilled() ? ink() : agentColor();
}

bool OverlayViewModel::agentShowsErrorArrow() const
{
    return m_inputs.agentPhase == AgentPhase::Error && !P::agentProgressLabel(m_inputs);
}

QList<qreal> OverlayViewModel::barHeights() const
{
    const double seconds = P::secondsSinceReferenceDate(m_clock.now());
    switch (layout()) {
    case OverlayLayout::Classic: return P::liveBarHeights(19, 35, m_inputs.status, m_inputs.samples, seconds);
    case OverlayLayout::Mini: return P::liveBarHeights(15, 27, m_inputs.status, m_inputs.samples, seconds);
    case OverlayLayout::CommandListening: return P::agentBarHeights(19, 35, m_inputs.samples);
    case OverlayLayout::CommandCompact: return {};
    }
    return {};
}

qreal OverlayViewModel::barWidth() const
{
    return layout() == OverlayLayout::Mini ? 1.8 : 2.0;
}

qreal OverlayViewModel::barSpacing() const
{
    return layout() == OverlayLayout::Mini ? 2.4 : 2.6;
}

QString OverlayViewModel::elapsed() const
{
    return P::elapsedLabel(m_inputs.recordingStartedAt, m_clock.now());
}

qreal OverlayViewModel::spinnerTurn() const
{
    // One turn a second, in steps of the clock.
    const double seconds = P::secondsSinceReferenceDate(m_clock.now());
    return seconds - std::floor(seconds);
}

void OverlayViewModel::tap()
{
    if (m_tapHandler)
        m_tapHandler();
    else if (m_state)
        m_state->handleOverlayTap();
}

} // namespace sorvane

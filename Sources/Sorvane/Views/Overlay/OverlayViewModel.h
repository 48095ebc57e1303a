#pragma once

#include "State/AppState.h"
#include "OverlayPresentation.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>

namespace sorvane {

class DesktopColorScheme;
class OverlayClock;

// What the overlay view draws, derived from the application state (or, in tests and
// pictures, from inputs set by hand) and from the overlay clock. Every text, symbol,
// colour and bar height comes from OverlayPresentation; the QML only places them.
class OverlayViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT

    // A model made in QML (the overlay preview of the settings) follows this state and
    // the desktop's colour scheme, and draws a still picture: its own clock never runs.
    Q_PROPERTY(sorvane::AppState *state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(QString layout READ layoutName NOTIFY changed)
    Q_PROPERTY(bool dark READ isDark NOTIFY changed)
    Q_PROPERTY(QColor ink READ ink NOTIFY changed)
    Q_PROPERTY(int pillWidth READ pillWidth NOTIFY changed)
    Q_PROPERTY(int pillHeight READ pillHeight NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString hint READ hint NOTIFY changed)
    Q_PROPERTY(QString accessibleText READ accessibleText NOTIFY changed)
    Q_PROPERTY(QString accessibleDescription READ accessibleDescription NOTIFY changed)
    Q_PROPERTY(QString keyCap READ keyCap NOTIFY changed)
    // "keyCap", "elapsedAndKeyCap", "progress" or "symbol".
    Q_PROPERTY(QString trailing READ trailing NOTIFY changed)
    Q_PROPERTY(QString trailingSymbol READ trailingSymbol NOTIFY changed)
    Q_PROPERTY(QString miniIcon READ miniIcon NOTIFY changed)
    // "elapsed", "progress" or "symbol": the mini pill's right end.
    Q_PROPERTY(QString miniTrailing READ miniTrailing NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    Q_PROPERTY(bool progressSpins READ progressSpins NOTIFY changed)
    Q_PROPERTY(QString agentWord READ agentWord NOTIFY changed)
    Q_PROPERTY(QString agentDetail READ agentDetail NOTIFY changed)
    Q_PROPERTY(QString agentIcon READ agentIcon NOTIFY changed)
    Q_PROPERTY(QColor agentColor READ agentColor NOTIFY changed)
    // The phase badge's symbol: the phase colour, or the ink where that colour is the
    // signal on a light pill (the badge is then filled with it, as the signal buttons are).
    Q_PROPERTY(QColor agentSymbolColor READ agentSymbolColor NOTIFY changed)
    Q_PROPERTY(bool agentBadgeFilled READ agentBadgeFilled NOTIFY changed)
    Q_PROPERTY(bool agentSpins READ agentSpins NOTIFY changed)
    Q_PROPERTY(QString agentProgressText READ agentProgressText NOTIFY changed)
    Q_PROPERTY(bool agentShowsErrorArrow READ agentShowsErrorArrow NOTIFY changed)
    // Moving parts, renewed on every clock tick.
    Q_PROPERTY(QList<qreal> barHeights READ barHeights NOTIFY frameChanged)
    Q_PROPERTY(qreal barWidth READ barWidth NOTIFY changed)
    Q_PROPERTY(qreal barSpacing READ barSpacing NOTIFY changed)
    Q_PROPERTY(QString elapsed READ elapsed NOTIFY frameChanged)
    Q_PROPERTY(qreal spinnerTurn READ spinnerTurn NOTIFY frameChanged)

public:
    explicit OverlayViewModel(OverlayClock &clock, QObject *parent = nullptr);
    explicit OverlayViewModel(QObject *parent = nullptr);
    ~OverlayViewModel() override;

    // Follows the state: every published value the overlay draws.
    void setState(AppState *state);
    AppState *state() const { return m_state; }
    // Draws these inputs instead (tests, pictures). Replaces what the state gave.
    void setInputs(const OverlayInputs &inputs);
    const OverlayInputs &inputs() const { return m_inputs; }
    // The desktop's colour scheme, for the automatic appearance.
    void setSystemDark(bool dark);
    // Takes the desktop's colour scheme from its portal from now on (once is enough).
    void followDesktopColorScheme();
    bool systemDark() const { return m_systemDark; }

    OverlayLayout layout() const { return OverlayPresentation::layout(m_inputs); }
    QString layoutName() const;
    bool isDark() const;
    QColor ink() const;
    int pillWidth() const { return OverlayPresentation::pillSize(layout()).width(); }
    int pillHeight() const { return OverlayPresentation::pillSize(layout()).height(); }
    QString title() const { return OverlayPresentation::title(m_inputs); }
    QString hint() const { return OverlayPresentation::secondaryLabel(m_inputs); }
    QString accessibleText() const { return OverlayPresentation::accessibleText(m_inputs); }
    QString accessibleDescription() const { return OverlayPresentation::accessibleDescription(m_inputs); }
    QString keyCap() const { return m_inputs.cancelShortcutName; }
    QString trailing() const;
    QString trailingSymbol() const { return OverlayPresentation::classicTrailingSymbol(m_inputs.status); }
    QString miniIcon() const { return OverlayPresentation::miniStatusIcon(m_inputs.status); }
    QString miniTrailing() const;
    QString progressText() const;
    bool progressSpins() const { return OverlayPresentation::transcriptionShowsSpinner(m_inputs.transcriptionProgress); }
    QString agentWord() const { return OverlayPresentation::agentPhaseWord(m_inputs.agentPhase); }
    QString agentDetail() const { return OverlayPresentation::agentDetail(m_inputs); }
    QString agentIcon() const { return OverlayPresentation::agentPhaseIcon(m_inputs.agentPhase); }
    QColor agentColor() const;
    QColor agentSymbolColor() const;
    bool agentBadgeFilled() const;
    bool agentSpins() const { return OverlayPresentation::agentPhaseShowsSpinner(m_inputs.agentPhase); }
    QString agentProgressText() const { return OverlayPresentation::agentProgressLabel(m_inputs).value_or(QString()); }
    bool agentShowsErrorArrow() const;
    QList<qreal> barHeights() const;
    qreal barWidth() const;
    qreal barSpacing() const;
    QString elapsed() const;
    qreal spinnerTurn() const;

    // The pill was clicked.
    Q_INVOKABLE void tap();
    // Called on a click instead of the state's handleOverlayTap() (tests).
    void setTapHandler(std::function<void()> handler) { m_tapHandler = std::move(handler); }

Q_SIGNALS:
    void stateChanged();
    void changed();
    void frameChanged();

private:
    void readState();
    void noteRecordingStart();

    std::unique_ptr<OverlayClock> m_ownClock;
    OverlayClock &m_clock;
    QPointer<AppState> m_state;
    QList<QMetaObject::Connection> m_stateConnections;
    OverlayInputs m_inputs;
    DesktopColorScheme *m_colorScheme = nullptr;
    bool m_systemDark = true;
    std::function<void()> m_tapHandler;
};

} // namespace sorvane

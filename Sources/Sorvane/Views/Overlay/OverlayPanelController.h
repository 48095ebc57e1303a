#pragma once

#include "OverlayPlacement.h"
#include "State/Presenters/OverlayPresenter.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QQmlEngine;
class QQuickWindow;
class QScreen;

namespace sorvane {

class X11SelectionOwner;

class AppState;
class OverlayClock;
class OverlayViewModel;
class SettingsStore;

// Owns the floating overlay: a frameless window that never takes the keyboard focus,
// stays above every window on every workspace and shows the overlay view. It sizes the
// window for what the state shows, places it on the preferred screen at the user's
// remembered place (fractions of the screen's free room, saved at the end of a drag),
// and hands a click on the pill to the state.
class OverlayPanelController : public QObject, public OverlayPresenter {
    Q_OBJECT

public:
    static constexpr auto relativeXKey = "overlayRelativeX";
    static constexpr auto relativeYKey = "overlayRelativeY";
    static constexpr auto legacyOriginXKey = "overlayOriginX";
    static constexpr auto legacyOriginYKey = "overlayOriginY";
    // A press and release that moved less than this is still a click.
    static constexpr int dragThreshold = 5;

    struct Options {
        // The clock of the moving parts; the controller makes its own when none is given.
        OverlayClock *clock = nullptr;
        // Follow the desktop's colour scheme (off in tests: then the scheme counts as dark).
        bool followDesktopColorScheme = true;
    };

    OverlayPanelController(AppState &state, SettingsStore &settings, Options options);
    explicit OverlayPanelController(AppState &state);
    ~OverlayPanelController() override;

    // What the state is given to make its overlay on first use.
    static std::function<std::unique_ptr<OverlayPresenter>(AppState &)> factory();

    // OverlayPresenter
    void show() override;
    void hide() override;
    bool isPresented() const override { return m_presented; }

    // Forgets the remembered place and moves the window to the default place.
    void resetPosition() override;
    // The screen of the active window, else the pointer's, else the primary screen.
    QScreen *preferredScreen() const;
    // Puts the window at its remembered place on `screen` (converting a place stored by
    // earlier versions once), else at the default place.
    void restorePosition(QScreen *screen);

    // The window while shown (and from construction until the first hide); none while hidden.
    QQuickWindow *window() const { return m_window.get(); }
    OverlayViewModel &viewModel() const { return *m_viewModel; }
    OverlayClock &clock() const { return *m_clock; }
    // The pill's area inside the window (the rest is transparent margin).
    QRect pillRect() const;

Q_SIGNALS:
    // A user's drag ended and its place was saved.
    void positionSaved();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void dropRetired();
    void bringToFront();
    void resizeForState();
    void applyShape();
    void moveWindow(QPoint topLeft);
    void savePosition();
    std::optional<OverlayPlacement::Fractions> savedRelativePosition() const;
    void saveRelativePosition(OverlayPlacement::Fractions fractions);
    void clearSavedPosition();
    std::optional<OverlayPlacement::Fractions> migrateLegacyPosition();
    QScreen *bestScreen(const QRectF &rect) const;
    void screensChanged();
    void watchScreen(QScreen *screen);

    AppState &m_state;
    SettingsStore &m_settings;
    std::unique_ptr<OverlayClock> m_ownClock;
    OverlayClock *m_clock = nullptr;
    std::unique_ptr<OverlayViewModel> m_viewModel;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    // Hidden windows and their engines, deleted on the next turn of the loop.
    std::vector<std::pair<std::unique_ptr<QQuickWindow>, std::unique_ptr<QQmlEngine>>> m_retired;
    // Whether a compositing manager runs, followed: the shape changes with it.
    std::unique_ptr<X11SelectionOwner> m_compositor;
    bool m_presented = false;

    // The press that may become a click or a drag.
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressCursor;
    QPoint m_pressWindowPosition;
};

} // namespace sorvane

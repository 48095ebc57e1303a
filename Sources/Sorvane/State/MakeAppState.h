#pragma once

#include "State/AppState.h"

#include <functional>
#include <memory>

namespace sorvane {

class DesktopPlatform;
class WindowActivation;
struct DesktopAppStateParts;

// The program's application state with everything it works through, made in start-up
// order from the desktop's platform and owned together; the state goes first when it
// ends. The platform must outlive it.
class DesktopAppState {
public:
    struct Windows {
        // The desktop's bell (QApplication::beep), for a sound that cannot be loaded.
        std::function<void()> bell;
        // The screens side's main-window raising; none: the first ordinary Qt window.
        WindowActivation *activation = nullptr;
        // The screens side's overlay and Command panels, made on first use.
        std::function<std::unique_ptr<OverlayPresenter>(AppState &)> makeOverlay;
        std::function<std::unique_ptr<AgentResultPresenter>(AppState &)> makeResultPanel;
    };

    DesktopAppState(DesktopPlatform &platform, Windows windows);
    ~DesktopAppState();
    DesktopAppState(const DesktopAppState &) = delete;
    DesktopAppState &operator=(const DesktopAppState &) = delete;

    AppState &state() { return *m_state; }

private:
    std::unique_ptr<DesktopAppStateParts> m_parts;
    std::unique_ptr<AppState> m_state;
};

std::unique_ptr<DesktopAppState> makeAppState(DesktopPlatform &platform, DesktopAppState::Windows windows = {});

} // namespace sorvane

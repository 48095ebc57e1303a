#pragma once

namespace sorvane {

// Brings this program's own windows forward. The screens side implements it over its
// windows (the main window is shown again when the user had closed it); panels (the
// overlay, the result toast) are never what it raises.
class WindowActivation {
public:
    virtual ~WindowActivation() = default;
    // Asks the window manager to make this program the active one.
    virtual void activateApplication() = 0;
    // Shows, raises and activates the main window; false when there is none (only
    // panels, or no windows yet).
    virtual bool raiseMainWindow() = 0;
};

} // namespace sorvane

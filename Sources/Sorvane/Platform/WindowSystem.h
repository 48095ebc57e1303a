#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <optional>

namespace sorvane {

// A running application as the capture services see it: the process, its name for
// people, and the top-level window through which it is reached.
struct RunningApplication {
    qint64 processId = 0;  // 0 when the window does not say
    QString name;          // from its desktop file, else its window class; may be empty
    quint64 window = 0;    // the top-level client window
    QString windowClass;   // the window's class (WM_CLASS), for per-application rules
    QString windowInstance;

    // Two handles name one application when their processes match, or, for windows
    // that give no process, when they are the same window.
    bool isSameApplication(const RunningApplication &other) const;
    friend bool operator==(const RunningApplication &, const RunningApplication &) = default;
};

// One top-level window, for choosing what to capture.
struct WindowInfo {
    quint64 id = 0;
    qint64 processId = 0;
    QRect geometry;        // in device pixels
    bool isViewable = true; // mapped and not minimised
    bool isDesktop = false; // the desktop background or a dock
    friend bool operator==(const WindowInfo &, const WindowInfo &) = default;
};

// The first window of the application, in the order given (front to back), that is
// on screen, not a desktop window, and wider and taller than one pixel. A window
// belongs to the application by its process, or, when the application gives no
// process, by being the application's own window.
std::optional<WindowInfo> chooseCaptureWindow(const QList<WindowInfo> &frontToBack, const RunningApplication &application);

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // The application of the active window.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // An application of the process with a window of its own, its active window first.
    virtual std::optional<RunningApplication> applicationForProcess(qint64 processId) = 0;
    // False once the application has quit (its process and windows are gone).
    virtual bool isRunning(const RunningApplication &application) = 0;
    // Asks for the application's window to become active; returns at once.
    virtual void requestActivation(const RunningApplication &application) = 0;
    // Top-level windows, front to back.
    virtual QList<WindowInfo> windowsFrontToBack() = 0;
};

} // namespace sorvane

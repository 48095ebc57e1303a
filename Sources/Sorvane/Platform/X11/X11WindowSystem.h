#pragma once

#include "Platform/DesktopEntries.h"
#include "Platform/WindowSystem.h"

#include <QElapsedTimer>
#include <memory>

namespace sorvane {

class X11Connection;

// The front application and activation on X11. With a window manager (EWMH) the
// active window is _NET_ACTIVE_WINDOW and activation asks the manager for it;
// without one, the window with input focus counts and activation sets the focus.
// Without an X display it finds nothing.
class X11WindowSystem final : public WindowSystem {
public:
    explicit X11WindowSystem(std::shared_ptr<X11Connection> connection);
    ~X11WindowSystem() override;

    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> applicationForProcess(qint64 processId) override;
    bool isRunning(const RunningApplication &application) override;
    void requestActivation(const RunningApplication &application) override;
    QList<WindowInfo> windowsFrontToBack() override;

private:
    bool hasWindowManager();
    quint64 activeWindow();
    QList<quint64> clientWindowsFrontToBack();
    qint64 processOf(quint64 window);
    bool windowExists(quint64 window);
    RunningApplication applicationOf(quint64 window);
    QString nameFor(const WindowNameHints &hints);

    std::shared_ptr<X11Connection> m_x;
    QList<DesktopEntry> m_desktopEntries;
    QElapsedTimer m_desktopEntriesAge;
};

} // namespace sorvane

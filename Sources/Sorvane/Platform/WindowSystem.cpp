#include "WindowSystem.h"

namespace sorvane {

bool RunningApplication::isSameApplication(const RunningApplication &other) const
{
    if (processId > 0 || other.processId > 0)
        return processId == other.processId;
    return window != 0 && window == other.window;
}

std::optional<WindowInfo> chooseCaptureWindow(const QList<WindowInfo> &frontToBack, const RunningApplication &application)
{
    const auto belongs = [&](const WindowInfo &window) {
        if (application.processId > 0)
            return window.processId == application.processId;
        return application.window != 0 && window.id == application.window;
    };
    for (const WindowInfo &window : frontToBack) {
        if (belongs(window) && window.isViewable && !window.isDesktop && window.geometry.width() > 1
            && window.geometry.height() > 1)
            return window;
    }
    return std::nullopt;
}

} // namespace sorvane

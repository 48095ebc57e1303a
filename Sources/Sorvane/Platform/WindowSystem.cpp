#include "WindowSystem.h"

namespace sorvane {

bool RunningApplication::isSameApplication(const RunningApplication &other) const
{
    if (processId > 0 || other.processId > 0)
        return processId == other.processId;
    return window != 0 && window == other.window;
}

std::optional<WindowInfo> chooseCaptureWindow(const QList<WindowInfo> &frontToBack, qint64 processId)
{
    if (processId <= 0)
        return std::nullopt;
    for (const WindowInfo &window : frontToBack) {
        if (window.processId == processId && window.isViewable && !window.isDesktop && window.geometry.width() > 1
            && window.geometry.height() > 1)
            return window;
    }
    return std::nullopt;
}

} // namespace sorvane

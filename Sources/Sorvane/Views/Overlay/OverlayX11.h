#pragma once

#include <QPoint>
#include <QRegion>
#include <optional>

class QWindow;

namespace sorvane {

// What the overlay needs of the X11 window system beyond Qt's window flags. Each call
// does nothing (or answers nothing) when the program does not run on X11.
namespace OverlayX11 {

bool isAvailable();
// The hints that keep the overlay on top of every workspace, out of the task bar and
// the pager, and visible while the program is inactive: a notification window (window
// managers that hide utility windows of inactive programs keep notifications), above,
// sticky, on all desktops. Window managers drop _NET_WM_STATE when a window is
// unmapped, so this runs before every map. The window must exist (QWindow::create()).
void applyHints(QWindow &window);
// Clicks reach the window only inside `region` (window coordinates, logical pixels).
void setInputShape(QWindow &window, const QRegion &region);
// A compositing manager runs: transparent parts of the window are see-through.
bool compositorRunning();
// The centre of the desktop's active window, in logical screen coordinates.
std::optional<QPoint> activeWindowCentre();

} // namespace OverlayX11

} // namespace sorvane

#pragma once

#include <QImage>
#include <QSize>
#include <optional>

namespace sorvane {

// The longest side a window screenshot may have, in pixels.
inline constexpr int maximumScreenshotSide = 4096;

// The size to capture a window of `windowPixels` at: the window's own pixels, scaled
// down evenly when its long side is past the maximum; never below 1 x 1.
QSize screenshotPixelSize(QSize windowPixels);

class WindowCapture {
public:
    virtual ~WindowCapture() = default;

    // Whether other windows' images can be read at all (no prompt).
    virtual bool isAccessGranted() = 0;
    // Asks for that access where the system has a way to; answers isAccessGranted().
    virtual bool requestAccess() = 0;
    // The window's current image at `size` (see screenshotPixelSize); absent when it
    // cannot be read.
    virtual std::optional<QImage> grab(quint64 window, QSize size) = 0;
};

} // namespace sorvane

#include "WindowCapture.h"

#include <algorithm>
#include <cmath>

namespace sorvane {

QSize screenshotPixelSize(QSize windowPixels)
{
    const qint64 width = std::max(1, windowPixels.width());
    const qint64 height = std::max(1, windowPixels.height());
    const qint64 longest = std::max(width, height);
    if (longest <= maximumScreenshotSide)
        return QSize(int(width), int(height));
    const double scale = double(maximumScreenshotSide) / double(longest);
    const auto scaled = [scale](qint64 side) {
        return int(std::clamp<qint64>(std::llround(double(side) * scale), 1, maximumScreenshotSide));
    };
    return QSize(scaled(width), scaled(height));
}

} // namespace sorvane

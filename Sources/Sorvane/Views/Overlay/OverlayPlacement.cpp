#include "OverlayPlacement.h"

#include <algorithm>
#include <cmath>

namespace sorvane::OverlayPlacement {

namespace {

double clampFraction(double value)
{
    if (!(value > 0))
        return 0;
    return value > 1 ? 1 : value;
}

// Stored y counts upwards from the bottom of the free room; Qt's y counts downwards
// from its top. These two are the only places that turn one into the other.
double downwardOffset(double upwardFraction, double freeHeight)
{
    return freeHeight * (1 - upwardFraction);
}

double upwardFraction(double downwardOffsetFromTop, double freeHeight)
{
    return 1 - downwardOffsetFromTop / freeHeight;
}

} // namespace

QSizeF freeRoom(QSizeF panel, const QRectF &available)
{
    return {std::max(0.0, available.width() - panel.width()), std::max(0.0, available.height() - panel.height())};
}

Fractions relativePosition(const QRectF &frame, const QRectF &available)
{
    const QSizeF free = freeRoom(frame.size(), available);
    Fractions fractions;
    fractions.x = free.width() > 0 ? (frame.left() - available.left()) / free.width() : 0.5;
    fractions.y = free.height() > 0 ? upwardFraction(frame.top() - available.top(), free.height()) : 0.5;
    fractions.x = clampFraction(fractions.x);
    fractions.y = clampFraction(fractions.y);
    return fractions;
}

QPointF origin(Fractions fractions, QSizeF panel, const QRectF &available)
{
    const QSizeF free = freeRoom(panel, available);
    return {available.left() + free.width() * clampFraction(fractions.x),
            available.top() + downwardOffset(clampFraction(fractions.y), free.height())};
}

QPointF constrainedOrigin(const QRectF &frame, const QRectF &available)
{
    auto axis = [](double start, double length, double areaStart, double areaLength) {
        if (length <= areaLength)
            return std::min(areaStart + areaLength - length, std::max(start, areaStart));
        return areaStart + areaLength * 0.5 - length * 0.5;
    };
    return {axis(frame.left(), frame.width(), available.left(), available.width()),
            axis(frame.top(), frame.height(), available.top(), available.height())};
}

QPointF defaultOrigin(QSizeF panel, const QRectF &available)
{
    return {available.center().x() - panel.width() * 0.5, available.top() + 72};
}

std::optional<int> bestScreen(const QRectF &rect, const QList<QRectF> &availableAreas)
{
    std::optional<int> best;
    double bestArea = 0;
    for (int i = 0; i < availableAreas.size(); ++i) {
        const QRectF overlap = availableAreas.at(i).intersected(rect);
        const double area = overlap.width() * overlap.height();
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    return best;
}

std::optional<Fractions> storedFractions(std::optional<double> x, std::optional<double> y)
{
    if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y))
        return std::nullopt;
    return Fractions{*x, *y};
}

QRectF legacyFrame(QPointF bottomLeftOrigin, QSizeF panel, const QRectF &primaryGeometry)
{
    const double top = primaryGeometry.top() + primaryGeometry.height() - bottomLeftOrigin.y() - panel.height();
    return {QPointF(bottomLeftOrigin.x(), top), panel};
}

} // namespace sorvane::OverlayPlacement

#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace sorvane {

// Where the overlay sits, as pure functions over rectangles in Qt's screen coordinates
// (y grows downwards). The remembered place is kept as fractions of the free room of a
// screen's available area, so that it survives a change of screen size: x is 0 at the
// left and 1 at the right, y is 0 at the bottom and 1 at the top (the stored form,
// which counts upwards; the one conversion to Qt's axis is in this file).
namespace OverlayPlacement {

struct Fractions {
    double x = 0.5;
    double y = 0.5;
    friend bool operator==(const Fractions &, const Fractions &) = default;
};

// The room left for a panel of `panel` size inside `available`, never below 0.
QSizeF freeRoom(QSizeF panel, const QRectF &available);
// The fractions of `frame` within `available`: 0.5 on an axis with no free room,
// each clamped to 0…1.
Fractions relativePosition(const QRectF &frame, const QRectF &available);
// The top-left corner for those fractions (each clamped to 0…1 first); keeps the panel
// wholly inside `available` whenever it fits.
QPointF origin(Fractions fractions, QSizeF panel, const QRectF &available);
// `frame` pushed into `available` per axis, centred on an axis where it does not fit.
QPointF constrainedOrigin(const QRectF &frame, const QRectF &available);
// Centred horizontally, its top 72 pixels below the top of `available`.
QPointF defaultOrigin(QSizeF panel, const QRectF &available);
// The index of the area that overlaps `rect` most (an earlier one keeps a tie); none
// when nothing overlaps.
std::optional<int> bestScreen(const QRectF &rect, const QList<QRectF> &availableAreas);
// Both stored fractions make a place only when both are finite numbers: a damaged or
// hand-edited value ("nan") counts as absent.
std::optional<Fractions> storedFractions(std::optional<double> x, std::optional<double> y);
// The frame of a place stored by earlier versions: an absolute origin of the panel's
// bottom-left corner with y counted upwards from the bottom of the primary screen.
QRectF legacyFrame(QPointF bottomLeftOrigin, QSizeF panel, const QRectF &primaryGeometry);

} // namespace OverlayPlacement

} // namespace sorvane

#pragma once

namespace sorvane {

// A model's colour as plain sRGB components (opacity 1), so the core needs no GUI
// types. `isSecondary` marks the fallback for ids without a colour of their own: screens
// draw it in the palette's secondary colour and use the components only without one.
struct AccentColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool isSecondary = false;

    static constexpr AccentColor rgb(double r, double g, double b) { return {r, g, b, false}; }
    static constexpr AccentColor secondary() { return {0.56, 0.56, 0.58, true}; }

    friend bool operator==(const AccentColor &, const AccentColor &) = default;
};

} // namespace sorvane

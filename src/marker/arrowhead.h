#pragma once
// The vehicle marker's figure: an arrowhead outline with a centre line.
#include <array>
#include <cstdint>

namespace qv {

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// The points the pen visits in a client area of width x height pixels: tip,
// left rear corner, centre, right rear corner, tip, centre. North-up turns the
// figure by `azimuth` degrees clockwise; otherwise it points straight up.
// `scale` is the display's (1 at 96 dpi, 2 at 192): the figure grows with its window.
std::array<Point, 6> ArrowheadPath(bool north, double azimuth, int32_t width, int32_t height, double scale = 1.0);

}  // namespace qv

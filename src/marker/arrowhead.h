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
std::array<Point, 6> ArrowheadPath(bool north, double azimuth, int32_t width, int32_t height);

}  // namespace qv

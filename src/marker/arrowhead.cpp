#include "marker/arrowhead.h"

#include <cmath>

namespace qv {
namespace {

constexpr double kPi = 3.141592654;  // the figure has always been drawn with this value

int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

std::array<Point, 6> ArrowheadPath(bool north, double azimuth, int32_t width, int32_t height, double scale) {
    if (!(scale >= 1.0) || scale > 16) scale = 1.0;
    const Point c{Round(width / 2.0), Round(height / 2.0)};
    auto at = [&](double degrees, double length) {
        double rad = degrees * kPi / 180;
        return Point{c.x + Round(std::sin(rad) * length), c.y - Round(std::cos(rad) * length)};
    };
    Point tip, left, right;
    if (north && std::isfinite(azimuth)) {
        tip = at(azimuth, 10 * scale);
        left = at(azimuth - 135, 8 * scale);
        right = at(azimuth + 135, 8 * scale);
    } else {
        const int32_t ten = Round(10 * scale), five = Round(5 * scale);
        tip = {c.x, c.y - ten};
        left = {c.x - five, c.y + five};
        right = {c.x + five, c.y + five};
    }
    return {tip, left, c, right, tip, c};
}

}  // namespace qv

#include <gtest/gtest.h>

#include <cmath>

#include "marker/arrowhead.h"

namespace qv {
namespace {

using Path = std::array<Point, 6>;

Path Figure(Point t, Point l, Point c, Point r) { return {t, l, c, r, t, c}; }

TEST(Arrowhead, TheWorkedExamples) {
    EXPECT_EQ(ArrowheadPath(true, 0, 32, 33), Figure({16, 6}, {10, 22}, {16, 16}, {22, 22}));
    EXPECT_EQ(ArrowheadPath(true, 90, 32, 33), Figure({26, 16}, {10, 10}, {16, 16}, {10, 22}));
    EXPECT_EQ(ArrowheadPath(true, -90, 32, 33)[0], (Point{6, 16}));
    EXPECT_EQ(ArrowheadPath(true, 180, 32, 33)[0], (Point{16, 26}));
    for (double azimuth : {0.0, 45.0, 180.0, -123.4})
        EXPECT_EQ(ArrowheadPath(false, azimuth, 32, 33), Figure({16, 6}, {11, 21}, {16, 16}, {21, 21})) << azimuth;
    // Halves of the client size go to the even neighbour.
    EXPECT_EQ(ArrowheadPath(false, 0, 33, 35)[2], (Point{16, 18}));
}

// The same figure from first principles: the point `length` pixels from the
// centre in the compass direction `degrees`.
Point Independent(Point c, double degrees, double length) {
    double rad = degrees * 3.141592654 / 180;
    double dx = std::sin(rad) * length, dy = -std::cos(rad) * length;
    auto halfEven = [](double v) {
        double f = std::floor(v);
        double diff = v - f;
        if (diff > 0.5) return f + 1;
        if (diff < 0.5) return f;
        return std::fmod(f, 2) == 0 ? f : f + 1;
    };
    return {c.x + static_cast<int32_t>(halfEven(dx)), c.y + static_cast<int32_t>(halfEven(dy))};
}

TEST(Arrowhead, EveryAngleMatchesAnIndependentComputation) {
    const Point c{16, 16};
    for (int tenth = -7200; tenth <= 7200; ++tenth) {
        double a = tenth / 10.0;
        Path p = ArrowheadPath(true, a, 32, 33);
        ASSERT_EQ(p[0], Independent(c, a, 10)) << a;
        ASSERT_EQ(p[1], Independent(c, a - 135, 8)) << a;
        ASSERT_EQ(p[3], Independent(c, a + 135, 8)) << a;
        ASSERT_EQ(p[2], c);
        ASSERT_EQ(p[4], p[0]);
        ASSERT_EQ(p[5], c);
    }
}

TEST(Arrowhead, AnyAngleStaysInsideTheWindow) {
    for (double a : {1e9, -1e12, 3.6e15, 1e300, std::nan(""), static_cast<double>(INFINITY)}) {
        for (const Point& p : ArrowheadPath(true, a, 32, 33)) {
            EXPECT_GE(p.x, 0) << a;
            EXPECT_LT(p.x, 32) << a;
            EXPECT_GE(p.y, 0) << a;
            EXPECT_LT(p.y, 33) << a;
        }
    }
}

TEST(Arrowhead, TheFigureGrowsWithTheDisplaysScaling) {
    // At 192 dpi the window is 64 x 66 pixels and the figure twice as large, about the same centre.
    const Point c{32, 33};
    for (double a : {0.0, 45.0, 90.0, -135.5}) {
        Path p = ArrowheadPath(true, a, 64, 66, 2.0);
        EXPECT_EQ(p[0], Independent(c, a, 20)) << a;
        EXPECT_EQ(p[1], Independent(c, a - 135, 16)) << a;
    }
    EXPECT_EQ(ArrowheadPath(false, 0, 64, 66, 2.0), (Path{Point{32, 13}, Point{22, 43}, c, Point{42, 43}, Point{32, 13}, c}));
    EXPECT_EQ(ArrowheadPath(false, 0, 32, 33, 0.5), ArrowheadPath(false, 0, 32, 33));  // never smaller than at 96 dpi
}

}  // namespace
}  // namespace qv

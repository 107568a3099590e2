#include "ui/button_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qv {
namespace {

constexpr uint32_t kBlack = 0x000000, kRed = 0xFF0000, kDarkRed = 0xC00000, kBlue = 0x0000C0, kGlass = 0xE0F0FF;

// A tiny raster: points, lines, circles and a 3 x 5 pixel font.
struct Canvas {
    StateIcon px;
    Canvas() { px.fill(kIconGround); }
    void Put(int x, int y, uint32_t c) {
        if (x >= 0 && x < kStateIconSize && y >= 0 && y < kStateIconSize) px[y * kStateIconSize + x] = c;
    }
    void Line(int x0, int y0, int x1, int y1, uint32_t c, int thick = 1) {
        int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= steps; ++i) {
            int x = x0 + (steps ? (x1 - x0) * i / steps : 0), y = y0 + (steps ? (y1 - y0) * i / steps : 0);
            for (int d = 0; d < thick; ++d) Put(x + d, y, c), Put(x, y + d, c);
        }
    }
    void Circle(double cx, double cy, double r, uint32_t c, bool fill = false) {
        for (int y = 0; y < kStateIconSize; ++y)
            for (int x = 0; x < kStateIconSize; ++x) {
                double d = std::hypot(x - cx, y - cy);
                if (fill ? d <= r : std::fabs(d - r) < 0.6) Put(x, y, c);
            }
    }
    void Glyph(char ch, int x0, int y0, uint32_t c, int scale) {
        static const char* const kFont[] = {"2:111001111100111", "3:111001111001111", "D:110101101101110",
                                            "N:101111111111101"};
        for (const char* g : kFont) {
            if (g[0] != ch) continue;
            for (int i = 0; i < 15; ++i)
                if (g[2 + i] == '1')
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx) Put(x0 + (i % 3) * scale + dx, y0 + (i / 3) * scale + dy, c);
        }
    }
};

StateIcon ArrowPicture(double degrees, bool letterN) {
    Canvas c;
    double rad = degrees * 3.14159265358979 / 180;
    auto at = [&](double along, double across) {
        return std::pair<int, int>{static_cast<int>(std::lround(10 + std::sin(rad) * along + std::cos(rad) * across)),
                                   static_cast<int>(std::lround(10 - std::cos(rad) * along + std::sin(rad) * across))};
    };
    auto [tx, ty] = at(8, 0);
    auto [bx, by] = at(-7, 0);
    auto [lx, ly] = at(3, -4);
    auto [rx, ry] = at(3, 4);
    c.Line(bx, by, tx, ty, kRed, 2);
    c.Line(tx, ty, lx, ly, kRed, 2);
    c.Line(tx, ty, rx, ry, kRed, 2);
    if (letterN) c.Glyph('N', 13, 12, kBlack, 1);
    return c.px;
}

}  // namespace

StateIcon DrawTrackPicture() {
    Canvas c;
    // Dots along a gentle S from the lower left to the upper right.
    for (int i = 0; i <= 12; i += 2) {
        double t = i / 12.0;
        int x = static_cast<int>(std::lround(2 + t * 11));
        int y = static_cast<int>(std::lround(17 - t * 11 + 2 * std::sin(t * 6.283)));
        c.Put(x, y, kDarkRed);
        c.Put(x + 1, y, kDarkRed);
    }
    for (int d = 0; d < 5; ++d)
        for (int k = 0; k <= d; ++k) {
            c.Put(13 + d - k, 6 - d, kRed);
            c.Put(13 + d, 6 - d + k, kRed);
        }
    return c.px;
}

StateIcon DrawCarPicture() {
    Canvas c;
    for (int y = 9; y <= 13; ++y) c.Line(2, y, 17, y, kBlue);  // body
    for (int y = 5; y <= 8; ++y) c.Line(6 - (8 - y), y, 13 + (8 - y) - 3, y, kBlue);  // cabin
    c.Line(7, 6, 11, 6, kGlass);
    c.Circle(5.5, 14.5, 2.2, kBlack, true);
    c.Circle(14.5, 14.5, 2.2, kBlack, true);
    return c.px;
}

StateIcon DrawZoomPicture(bool in) {
    Canvas c;
    c.Circle(8, 8, 5.5, kGlass, true);
    c.Circle(8, 8, 5.5, kBlack);
    c.Line(12, 12, 17, 17, kBlack, 2);
    c.Line(5, 8, 11, 8, kRed);
    if (in) c.Line(8, 5, 8, 11, kRed);
    return c.px;
}

StateIcon Draw2DPicture() {
    Canvas c;
    c.Glyph('2', 2, 5, kRed, 2);
    c.Glyph('D', 11, 5, kRed, 2);
    return c.px;
}

StateIcon Draw3DPicture() {
    Canvas c;
    c.Glyph('3', 2, 5, kRed, 2);
    c.Glyph('D', 11, 5, kRed, 2);
    return c.px;
}

StateIcon DrawHeadingUpPicture() { return ArrowPicture(35, false); }
StateIcon DrawNorthUpPicture() { return ArrowPicture(0, true); }

StateIcon DrawCrossHairPicture() {
    Canvas c;
    c.Circle(10, 10, 6, kBlack);
    c.Line(10, 1, 10, 18, kBlack);
    c.Line(1, 10, 18, 10, kBlack);
    c.Put(10, 10, kRed);
    return c.px;
}

StateIcon DrawSpannerPicture() {
    Canvas c;
    c.Line(4, 15, 12, 7, 0x606060, 3);
    c.Circle(14, 5, 3.5, 0x606060, true);
    c.Circle(15.5, 3.5, 1.6, kIconGround, true);
    return c.px;
}

int PictureSize(int dpi) {
    if (dpi <= 96) return kStateIconSize;
    return (kStateIconSize * dpi + 48) / 96;
}

std::vector<uint32_t> ScalePicture(const StateIcon& picture, int size) {
    if (size < 1) size = 1;
    std::vector<uint32_t> out(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            out[static_cast<size_t>(y) * size + x] =
                picture[static_cast<size_t>(y * kStateIconSize / size) * kStateIconSize + x * kStateIconSize / size];
    return out;
}

}  // namespace qv

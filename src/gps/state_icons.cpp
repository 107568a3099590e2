#include "gps/state_icons.h"

#include <cmath>

namespace qv {

StateIcon DrawStateIcon(int index) {
    StateIcon px;
    px.fill(kIconGround);
    auto put = [&](int x, int y, uint32_t c) {
        if (x >= 0 && x < kStateIconSize && y >= 0 && y < kStateIconSize) px[y * kStateIconSize + x] = c;
    };
    // The satellite: a body turned 45 degrees with two solar panels, upper right.
    for (int d = -2; d <= 2; ++d)
        for (int e = -1; e <= 1; ++e) put(13 + d + e, 6 - d + e, 0x000000);
    for (int d = 0; d < 4; ++d)
        for (int e = 0; e < 2; ++e) {
            put(8 + d + e, 3 - d + e + 3, 0x000000);  // lower-left panel
            put(15 + d + e, 10 - d + e - 3, 0x000000);  // upper-right panel
        }
    put(11, 9, 0x000000);  // the antenna, pointing to the lower left
    put(10, 10, 0x000000);

    if (index == 0) {
        // A red circle crossed by an X.
        const double cx = 5.5, cy = 14.5;
        for (int y = 8; y < 20; ++y)
            for (int x = 0; x < 12; ++x) {
                double r = std::hypot(x - cx, y - cy);
                bool ring = r >= 3.6 && r <= 5.2;
                bool cross = std::fabs((x - cx) - (y - cy)) < 0.8 || std::fabs((x - cx) + (y - cy)) < 0.8;
                if (ring || (cross && r <= 5.2)) put(x, y, kIconRed);
            }
    } else if (index == 1 || index == 2) {
        // Radio waves: arcs around the antenna tip, opening to the lower left.
        uint32_t c = index == 1 ? kIconGreyWaves : kIconBlueWaves;
        const double cx = 10, cy = 10;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                if (x >= cx || y <= cy) continue;
                double r = std::hypot(x - cx, y - cy);
                for (double radius : {3.5, 6.5, 9.5})
                    if (std::fabs(r - radius) < 0.7) put(x, y, c);
            }
    }
    return px;
}

}  // namespace qv

#include "ui/button_pictures.h"

#include <cmath>

namespace qv {

StateIcon DrawTrackPicture() {
    StateIcon px;
    px.fill(kIconGround);
    auto put = [&](int x, int y, uint32_t c) {
        if (x >= 0 && x < kStateIconSize && y >= 0 && y < kStateIconSize) px[y * kStateIconSize + x] = c;
    };
    // Dots along a gentle S from the lower left to the upper right.
    for (int i = 0; i <= 12; i += 2) {
        double t = i / 12.0;
        int x = static_cast<int>(std::lround(2 + t * 11));
        int y = static_cast<int>(std::lround(17 - t * 11 + 2 * std::sin(t * 6.283)));
        put(x, y, 0xC00000);
        put(x + 1, y, 0xC00000);
    }
    // The arrowhead, pointing up and to the right.
    for (int d = 0; d < 5; ++d) {
        put(13 + d, 6 - d, 0xFF0000);
        for (int k = 0; k <= d; ++k) {
            put(13 + d - k, 6 - d, 0xFF0000);
            put(13 + d, 6 - d + k, 0xFF0000);
        }
    }
    return px;
}

}  // namespace qv

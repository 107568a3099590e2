#include "earth/window_api.h"

#include <cmath>

namespace qv {

void GetWindowCentre(WindowApi& windows, int32_t hwnd, int32_t& x, int32_t& y) {
    std::optional<PixelRect> r = windows.GetWindowRect(hwnd);
    if (!r) return;
    // Halved and scaled before rounding, so an odd pixel sum still lands on the exact twip.
    double cx = (static_cast<int64_t>(r->left) + r->right) / 2.0 * windows.TwipsPerPixelX();
    double cy = (static_cast<int64_t>(r->top) + r->bottom) / 2.0 * windows.TwipsPerPixelY();
    x = static_cast<int32_t>(std::nearbyint(cx));
    y = static_cast<int32_t>(std::nearbyint(cy));
}

bool GetClientSize(WindowApi& windows, int32_t hwnd, int32_t& width, int32_t& height) {
    if (hwnd == 0) return false;
    std::optional<PixelRect> r = windows.GetClientRect(hwnd);
    if (!r) return false;
    width = r->right;
    height = r->bottom;
    return true;
}

}  // namespace qv

#pragma once
// The program lays its windows out in twips; Win32 wants pixels.
#include <windows.h>

#include <cmath>

namespace qv {

struct TwipsPerPixel {
    double x = 15;
    double y = 15;

    static TwipsPerPixel OfScreen() {
        TwipsPerPixel t;
        if (HDC dc = GetDC(nullptr)) {
            int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
            if (dpiX > 0) t.x = 1440.0 / dpiX;
            if (dpiY > 0) t.y = 1440.0 / dpiY;
            ReleaseDC(nullptr, dc);
        }
        return t;
    }
    // Half a pixel goes to the even neighbour.
    int PixelsX(double twips) const { return static_cast<int>(std::nearbyint(twips / x)); }
    int PixelsY(double twips) const { return static_cast<int>(std::nearbyint(twips / y)); }
    // Both edges from twips, so controls that meet in twips meet in pixels at any scaling.
    RECT Pixels(double left, double top, double width, double height) const {
        return {PixelsX(left), PixelsY(top), PixelsX(left + width), PixelsY(top + height)};
    }
};

}  // namespace qv

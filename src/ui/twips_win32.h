#pragma once
// The program lays its windows out in twips; Win32 wants pixels.
#include <windows.h>

#include <cmath>

#include "base/gdi_win32.h"

namespace qv {

struct TwipsPerPixel {
    double x = 15;
    double y = 15;

    static TwipsPerPixel OfScreen() {
        TwipsPerPixel t;
        t.x = 1440.0 / ScreenDpi(LOGPIXELSX);
        t.y = 1440.0 / ScreenDpi(LOGPIXELSY);
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

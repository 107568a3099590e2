#pragma once
// The vehicle marker window as the rest of the program uses it.
#include <cstdint>

namespace qv {

class VehicleMarker {
public:
    virtual ~VehicleMarker() = default;
    virtual void SetAzimuth(double degrees) = 0;  // stored; drawn at the next redraw
    virtual void SetNorth(bool north) = 0;
    virtual int32_t Handle() = 0;
    // Moves the window's top-left corner to (left, top) twips, size unchanged.
    virtual void MoveTo(int32_t leftTwips, int32_t topTwips) = 0;
    virtual void Show() = 0;
    // Shows and draws at once, or hides.
    virtual void ShowCar(bool show) = 0;
};

}  // namespace qv

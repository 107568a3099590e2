#pragma once
// The panel's view controls: follow lock, zoom while held, 2D or 3D, north-up or heading-up.
#include <functional>
#include <string>

#include "base/message_pump.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/timing.h"
#include "earth/call_worker.h"
#include "earth/earth_link.h"
#include "earth/vehicle_marker.h"
#include "ui/panel.h"

namespace qv {

// One zoom step: in by 7/8 (no lower than 400), out by an eighth (no lower
// than 500, and no higher than the largest 32-bit value); halves to even.
int32_t ZoomInStep(int32_t eyeHigh);
int32_t ZoomOutStep(int32_t eyeHigh);

class ViewControls {
public:
    // Each zoom step is an action of its own in `budget`.
    ViewControls(AppSettings& settings, EarthLink& earth, PanelState& view, MessagePump& pump, Sleeper& sleeper,
                 VehicleMarker& marker, EarthBudget& budget, std::function<void()> parkFocus)
        : settings_(settings),
          earth_(earth),
          view_(view),
          pump_(pump),
          sleeper_(sleeper),
          marker_(marker),
          budget_(budget),
          parkFocus_(std::move(parkFocus)) {}

    // Returns the follow switch's new tooltip.
    std::string OnFollowClick(bool checked);
    // These two return when the button is released (or, zooming in, at 400 m or when Google Earth refuses).
    void OnZoomInPress();
    void OnZoomOutPress();
    void OnZoomRelease() { view_.bZooming = false; }
    void On3DClick(bool threeD);
    void OnNorthClick(bool northUp);

private:
    void TakeCurrentCamera();

    AppSettings& settings_;
    EarthLink& earth_;
    PanelState& view_;
    MessagePump& pump_;
    Sleeper& sleeper_;
    VehicleMarker& marker_;
    EarthBudget& budget_;
    std::function<void()> parkFocus_;
};

}  // namespace qv

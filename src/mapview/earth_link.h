#pragma once
// The program's link to Google Earth: its two objects and its window handles.
#include <cstdint>
#include <memory>

#include "mapview/earth.h"
#include "mapview/window_api.h"
#include "marker/vehicle_marker.h"

namespace qv {

struct EarthLink {
    std::unique_ptr<EarthApp> app;          // GEApp
    std::unique_ptr<EarthControl> control;  // GECtl
    std::unique_ptr<EarthCamera> camera;    // GECamera: the last one asked for
    int32_t hGEMain = 0;
    int32_t hGEMap = 0;
    bool bGotMapWnd = false;
    int32_t lastCarX = 0;  // twips, where the marker was last centred
    int32_t lastCarY = 0;
};

// Asks Google Earth for its main and map window handles. On any failure both
// handles become 0 and the answer is false.
bool GetMapWindowHandles(EarthLink& link);

// Keeps the marker over the centre of Google Earth's map window: its heading
// and mode are set every time, and it is moved and shown only when that centre moved.
void PlaceVehicleMarker(EarthLink& link, VehicleMarker& marker, WindowApi& windows, double azimuth, bool north);

// Flies the camera to a position at `eyeHigh` metres: tilted 60 degrees or
// flat, turned to `heading` or north-up. False when Google Earth refused.
bool FlyCameraTo(EarthLink& link, int32_t eyeHigh, double latitude, double longitude, bool tilted, double heading,
                 bool north);

}  // namespace qv

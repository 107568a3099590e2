#pragma once
// The program's link to Google Earth: its objects and its window handles.
#include <cstdint>
#include <memory>
#include <string>

#include "earth/earth.h"
#include "earth/earth_routes.h"
#include "earth/window_api.h"
#include "earth/vehicle_marker.h"

namespace qv {

struct EarthLink {
    // Declared in the order they depend on each other, so they go in the reverse.
    std::unique_ptr<EarthConnection> connection;
    std::unique_ptr<EarthApp> app;          // GEApp
    std::unique_ptr<EarthControl> control;  // GECtl, or the application's documented members
    std::unique_ptr<EarthCamera> camera;    // GECamera: the last one asked for
    EarthRoutes routes;
    bool ready = false;  // Google Earth has said it finished starting
    int32_t hGEMain = 0;
    int32_t hGEMap = 0;
    bool bGotMapWnd = false;
    int32_t lastCarX = 0;  // twips, where the marker was last centred
    int32_t lastCarY = 0;
};

// Takes the objects of a connected attempt. False, with the link unchanged,
// when the application object could not be had.
bool AttachEarth(EarthLink& link, std::unique_ptr<EarthConnection> connection);
// Lets go of Google Earth's objects and forgets its windows.
void DropEarth(EarthLink& link);

// Asks Google Earth for its main and map window handles (the main one only
// until it has been had). Without the map window's handle it is 0 and the
// answer is false.
bool GetMapWindowHandles(EarthLink& link);

// Keeps the marker over the centre of Google Earth's map window: its heading
// and mode are set every time, and it is moved and shown only when that centre moved.
void PlaceVehicleMarker(EarthLink& link, VehicleMarker& marker, WindowApi& windows, double azimuth, bool north);
// Moves the marker off to the screen's corner, where a map window that has gone leaves it.
void ParkVehicleMarker(EarthLink& link, VehicleMarker& marker);

// Brings the camera down to `eyeHigh` metres when it is higher, or when its height cannot be read.
void CapEyeHeight(EarthLink& link, int32_t eyeHigh);
// Has Google Earth open a KML file, once it is ready; false when it cannot or refused.
bool ShowFileOnMap(EarthLink& link, const std::string& path);

// Flies the camera to a position at `eyeHigh` metres: tilted 60 degrees or
// flat, turned to `heading` or north-up. False when Google Earth refused.
bool FlyCameraTo(EarthLink& link, int32_t eyeHigh, double latitude, double longitude, bool tilted, double heading,
                 bool north);

}  // namespace qv

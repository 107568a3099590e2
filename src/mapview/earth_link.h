#pragma once
// The program's link to Google Earth: its two objects and its window handles.
#include <cstdint>
#include <memory>

#include "mapview/earth.h"

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

// Flies the camera to a position at `eyeHigh` metres: tilted 60 degrees or
// flat, turned to `heading` or north-up. False when Google Earth refused.
bool FlyCameraTo(EarthLink& link, int32_t eyeHigh, double latitude, double longitude, bool tilted, double heading,
                 bool north);

}  // namespace qv

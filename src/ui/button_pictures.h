#pragma once
// The 20 x 20 pictures of the panel's picture buttons, on light grey.
#include "gps/state_icons.h"

namespace qv {

StateIcon DrawTrackPicture();      // chkTrack: a dotted track with an arrowhead
StateIcon DrawCarPicture();        // chkGPS: a car
StateIcon DrawZoomPicture(bool in);  // cmdZoomB / cmdZoomS: a magnifier with plus or minus
StateIcon Draw2DPicture();         // opt3D(0): red "2D"
StateIcon Draw3DPicture();         // opt3D(1): red "3D"
StateIcon DrawHeadingUpPicture();  // optN(0): a red arrow turned with the road
StateIcon DrawNorthUpPicture();    // optN(1): a red north arrow with N
StateIcon DrawCrossHairPicture();  // cmdSetMapWnd
StateIcon DrawSpannerPicture();    // cmdTool

}  // namespace qv

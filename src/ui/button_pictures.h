#pragma once
// The 20 x 20 pictures of the panel's picture buttons, on light grey.
#include <vector>

#include "gps/state_icons.h"

namespace qv {

// The side of a picture on a display of `dpi` pixels per inch: 20 at 96, in proportion above.
int PictureSize(int dpi);
// A picture at `size` x `size` pixels, each pixel taken from the nearest one
// of the 20 x 20: sharp edges at any scaling, and whole at 200 %.
std::vector<uint32_t> ScalePicture(const StateIcon& picture, int size);

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

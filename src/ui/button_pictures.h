#pragma once
// The 20 x 20 pictures of the panel's picture buttons.
#include "gps/state_icons.h"

namespace qv {

// A dotted red track curving up to an arrowhead, on light grey.
StateIcon DrawTrackPicture();

}  // namespace qv

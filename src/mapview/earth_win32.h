#pragma once
#include <memory>

#include "mapview/earth.h"

namespace qv {

// Creates Google Earth's objects as a local COM server and calls them through
// IDispatch by member name. COM must be initialised on the calling thread.
std::unique_ptr<EarthConnector> MakeComEarthConnector();

}  // namespace qv

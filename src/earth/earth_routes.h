#pragma once
// Which object does the camera and file work: the control object where it
// answers, Google Earth's documented application interface where it does not.
#include <memory>
#include <string>

#include "earth/earth.h"

namespace qv {

struct EarthRoutes {
    bool cameraByApp = false;  // currentView and setView, which share their camera
    bool flyByApp = false;     // setViewParams
    bool openByApp = false;    // OpenFile
    bool operator==(const EarthRoutes&) const = default;
};

EarthRoutes ChooseEarthRoutes(bool haveControl, const ControlMembers& knows);

// What the "Open Google Earth" log line adds: nothing when the control does
// all the work, else which interface does which.
std::string EarthRoutesText(const EarthRoutes& routes);

// The control the program uses: `control` itself when it does all the work;
// otherwise one that sends each member where `routes` says. `app` must outlive it.
std::unique_ptr<EarthControl> RouteEarthControl(const EarthRoutes& routes, std::unique_ptr<EarthControl> control,
                                                EarthApp& app);

}  // namespace qv

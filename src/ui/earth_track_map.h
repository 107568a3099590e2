#pragma once
// The map a recording is shown on: Google Earth.
#include <string>

#include "earth/earth_link.h"
#include "track/track_recorder.h"

namespace qv {

class EarthTrackMap final : public TrackMap {
public:
    explicit EarthTrackMap(EarthLink& earth) : earth_(earth) {}
    bool ShowTrackFile(const std::string& path) override { return ShowFileOnMap(earth_, path); }

private:
    EarthLink& earth_;
};

}  // namespace qv

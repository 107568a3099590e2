#pragma once
// Once a second: read what the receiver sent, decode it line by line, and for
// every RMC sentence refresh the panel and move the camera to the vehicle.
#include <string>

#include "base/messages.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "gps/gps_fix.h"
#include "gps/line_splitter.h"
#include "gps/nmea.h"
#include "gps/receiver_link.h"
#include "earth/earth_link.h"
#include "track/track_recorder.h"
#include "ui/panel.h"
#include "ui/panel_view.h"

namespace qv {

inline constexpr uint32_t kRed = 0xFF0000;
inline constexpr uint32_t kYellow = 0xFFFF00;

// "0.0": one decimal, halves away from zero ("41.5", "-1.0").
std::string OneDecimal(double value);
// A time of day (fraction of a day) as "hh:mm:ss".
std::string TimeOfDayText(double fractionOfDay);

// Told of each fix the cycle acts on, once the panel shows it, and of each track point recorded.
class FixWatcher {
public:
    virtual ~FixWatcher() = default;
    virtual void OnFixShown(bool valid) = 0;
    virtual void OnTrackPoint(double longitude, double latitude, double altitude) = 0;
};

class FixCycle {
public:
    FixCycle(AppSettings& settings, GpsFix& fix, ReceiverInput& input, PanelView& panel, const LocalClock& clock,
             EarthLink& earth, const PanelState& view, TrackRecorder& track, VehicleMarker& marker,
             WindowApi& windows)
        : settings_(settings),
          fix_(fix),
          input_(input),
          panel_(panel),
          clock_(clock),
          earth_(earth),
          view_(view),
          track_(track),
          marker_(marker),
          windows_(windows) {}

    void UpdateFromGps();
    void Watch(FixWatcher* watcher) { watcher_ = watcher; }

private:
    // False when the rest of this tick's text is to be dropped.
    bool ProcessLine(std::string_view line);
    void FollowVehicle();
    const TalkerList& Talkers();

    AppSettings& settings_;
    GpsFix& fix_;
    ReceiverInput& input_;
    PanelView& panel_;
    const LocalClock& clock_;
    EarthLink& earth_;
    const PanelState& view_;
    TrackRecorder& track_;
    VehicleMarker& marker_;
    WindowApi& windows_;
    FixWatcher* watcher_ = nullptr;
    LineSplitter splitter_;
    std::string talkersText_;
    TalkerList talkers_;
};

}  // namespace qv

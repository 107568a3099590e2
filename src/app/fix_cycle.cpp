#include "app/fix_cycle.h"

#include <cmath>
#include <cstdio>

#include "gps/coord_text.h"
#include "gps/nmea.h"
#include "gps/receiver_link.h"

namespace qv {

std::string OneDecimal(double value) {
    char text[400];
    // + 0.0 turns a negative zero into zero: -0.04 shows "0.0", not "-0.0".
    std::snprintf(text, sizeof text, "%.1f", std::round(value * 10) / 10 + 0.0);
    return text;
}

std::string TimeOfDayText(double fractionOfDay) {
    long seconds = std::lround(fractionOfDay * 86400) % 86400;
    if (seconds < 0) seconds += 86400;
    char text[64];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

void FixCycle::UpdateFromGps() {
    if (fix_.GPSState < 0) {
        panel_.SetText(PanelControl::lblTime, clock_.TimeOfDayNow());
        return;
    }
    std::optional<std::string> text = input_.ReadReceiver();
    if (!text || text->empty()) return;
    bool goOn = true;
    splitter_.Feed(*text, [&](std::string_view line) {
        if (goOn) goOn = ProcessLine(line);
    });
}

const TalkerList& FixCycle::Talkers() {
    // Config.ini is read again now and then; the list follows it.
    if (settings_.GpsTalkers != talkersText_) {
        talkersText_ = settings_.GpsTalkers;
        talkers_ = ParseTalkers(talkersText_);
    }
    return talkers_;
}

bool FixCycle::ProcessLine(std::string_view line) {
    const TalkerList& talkers = Talkers();
    if (std::optional<std::string> talker = RmcTalker(line)) input_.OnRmc(*talker, talkers.Has(*talker));
    NmeaOutcome outcome = ParseNmea(line, settings_.TimeZone, fix_, talkers);
    // A damaged line does nothing: acting on it would repeat the last fix with half-new values.
    if (outcome.failed() || outcome.result == 0) return true;

    panel_.SetText(PanelControl::lblTime, TimeOfDayText(fix_.FixTime));
    if (outcome.result == -1) {
        panel_.SetText(PanelControl::lblLongitude, text::kWeakSignal);
        for (PanelControl c : {PanelControl::lblLatitude, PanelControl::lblHigh, PanelControl::lblSpeed,
                               PanelControl::lblAzimuth})
            panel_.SetText(c, "");
        ShowGPSState(fix_.GPSState, panel_);
        if (watcher_) watcher_->OnFixShown(false);
        return true;
    }
    panel_.SetText(PanelControl::lblLongitude, FormatLongitude(fix_.Longitude));
    panel_.SetText(PanelControl::lblLatitude, FormatLatitude(fix_.Latitude));
    char high[400];
    std::snprintf(high, sizeof high, "%.0fm", std::round(fix_.High) + 0.0);  // -0.4 m shows "0m", not "-0m"
    panel_.SetText(PanelControl::lblHigh, high);
    panel_.SetText(PanelControl::lblSpeed, OneDecimal(fix_.Speed) + "km/h");
    panel_.SetText(PanelControl::lblAzimuth, text::Fill(text::kPrecision, OneDecimal(fix_.Pdop)));
    panel_.SetTextColour(PanelControl::lblAzimuth, fix_.Pdop > 6.0f ? kRed : kYellow);

    // The filter follows the vehicle whether or not a track is being recorded.
    if (track_.TrackFilter(fix_.Longitude, fix_.Latitude) && view_.bRecordTrack && fix_.Pdop <= 6.0f) {
        track_.AppendTrackPoint(fix_.Longitude, fix_.Latitude, fix_.High);
        if (watcher_) watcher_->OnTrackPoint(fix_.Longitude, fix_.Latitude, fix_.High);
        track_.ShowTrack();
    }
    // Told before Google Earth is: a slow Google Earth does not hold up the map page.
    if (watcher_) watcher_->OnFixShown(true);

    if (!earth_.ready) {
        // Google Earth is starting or gone: the camera and the marker wait for it.
        ShowGPSState(fix_.GPSState, panel_);
        return true;
    }
    if (!earth_.bGotMapWnd) {
        // Google Earth's windows were not known yet: ask again and leave the rest of this tick.
        earth_.bGotMapWnd = GetMapWindowHandles(earth_);
        return false;
    }
    if (view_.bLockMap && fix_.Pdop <= 10.0f) FollowVehicle();
    ShowGPSState(fix_.GPSState, panel_);
    return true;
}

void FixCycle::FollowVehicle() {
    // A tilted view stays tilted while it follows.
    FlyCameraTo(earth_, settings_.EyeHigh, fix_.Latitude, fix_.Longitude, view_.b3D, fix_.Azimuth, view_.bNorthUp);
    // The marker gets the course itself, and is placed even when the camera call failed.
    PlaceVehicleMarker(earth_, marker_, windows_, fix_.Azimuth, view_.bNorthUp);
}

}  // namespace qv

#include "track/track_recorder.h"

#include <cmath>
#include <cstdio>
#include <random>

#include "app/file_io.h"

namespace qv {

bool DiskTrackFiles::WriteTrack(const std::string& path, std::string_view head, std::string_view tail) {
    return ReplaceFileWith(path, {head, "\r\n", tail, "\r\n"});
}

bool DiskTrackFiles::WriteTemporary(const std::string& path, std::string_view head, std::string_view tail) {
    return WriteTrack(path, head, tail);
}

std::string TrackFileName(const std::string& folder, const LocalDateTime& t) {
    char name[64];
    std::snprintf(name, sizeof name, "Track_%04d%02d%02d_%02d%02d%02d.kml", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return folder + name;
}

namespace {

// A move of exactly the threshold counts; the coordinate that moved is stored.
bool MovedFar(double& stored, double value, double precision) {
    if (!(std::fabs(value - stored) >= precision)) return false;
    stored = value;
    return true;
}

}  // namespace

bool TrackRecorder::TrackFilter(double longitude, double latitude) {
    bool changed = MovedFar(lastLongitude_, longitude, settings_.PrecisionInTrack);
    changed = MovedFar(lastLatitude_, latitude, settings_.PrecisionInTrack) || changed;
    return changed;
}

void TrackRecorder::AppendTrackPoint(double longitude, double latitude, double altitude) {
    document_.AppendPoint(longitude, latitude, altitude);
    if (onPoint_) {
        std::string line = CoordinateLine(longitude, latitude, altitude);
        onPoint_(std::string_view(line).substr(0, line.size() - 2));
    }
}

bool TrackRecorder::ShowTrack() {
    // Without a temporary file there is nothing for Google Earth to open.
    if (settings_.TrackTempFile.empty()) return true;
    SaveTrackTemp();
    // A Google Earth still starting, or gone, is shown the track once it is ready.
    return earth_.ready && earth_.control && earth_.control->OpenFile(settings_.TrackTempFile);
}

void TrackRecorder::SaveTrackTemp() {
    if (settings_.TrackTempFile.empty()) return;
    files_.WriteTemporary(settings_.TrackTempFile, document_.head(), document_.tail());
}

void TrackRecorder::SaveTrackKml() {
    // What could not be written is kept and tried again.
    if (!files_.WriteTrack(kmlFile_, document_.head(), document_.tail()))
        unsaved_.push_back({kmlFile_, std::string(document_.head()), std::string(document_.tail())});
}

bool TrackRecorder::RetryUnsavedTracks() {
    std::erase_if(unsaved_, [&](const Unsaved& u) { return files_.WriteTrack(u.path, u.head, u.tail); });
    return unsaved_.empty();
}

void TrackRecorder::BeginTrackKml() { document_.Begin(clock_.Now()); }

std::string TrackRecorder::OnTrackSwitch(bool checked, bool& bRecordTrack) {
    bRecordTrack = checked;
    if (bRecordTrack) {
        kmlFile_ = TrackFileName(settings_.AppPath, clock_.Now());
        BeginTrackKml();
        return kTipStopTrack;
    }
    SaveTrackKml();
    return kTipStartTrack;
}

void TrackRecorder::OnPanelClose(bool bRecordTrack) {
    if (bRecordTrack) SaveTrackKml();
    RetryUnsavedTracks();
}

void TrackRecorder::SimulateTrack(const Simulation& with) {
    if (simulating_) return;
    simulating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{simulating_};

    BeginTrackKml();
    LocalDateTime now = clock_.Now();
    std::mt19937 random(static_cast<unsigned>(now.hour * 3600 + now.minute * 60 + now.second));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double longitude = 121.5, latitude = 31.12;
    AppendTrackPoint(longitude, latitude, 10.0);
    for (int i = 0; i < 10; ++i) {
        longitude += unit(random) * 0.001;
        latitude += unit(random) * 0.001;
        AppendTrackPoint(longitude, latitude, 10.0);
        with.pump.ProcessPending();
        with.sleeper.Sleep(1000);
        ShowTrack();
        with.camera.SetCameraView(latitude, longitude, false, 0.0, true);
    }
}

}  // namespace qv

#pragma once
// Recording the driven track: the point filter, the document in memory, the
// temporary file Google Earth reloads after every point, and the saved track.
#include <functional>
#include <string>
#include <vector>

#include "app/message_pump.h"
#include "app/run_log.h"
#include "app/settings.h"
#include "app/timing.h"
#include "mapview/camera_view.h"
#include "mapview/earth_link.h"
#include "track/kml_document.h"

namespace qv {

inline constexpr char kTipStartTrack[] = "开始记录轨迹";
inline constexpr char kTipStopTrack[] = "停止记录轨迹";

// Where track files go; the file system in the program, a fake in tests.
class TrackFiles {
public:
    virtual ~TrackFiles() = default;
    // Both write the document head, CR LF, tail, CR LF and replace the file in
    // one step: a reader never sees half a document, and a full disk never
    // leaves half a track where a whole one was expected.
    virtual bool WriteTrack(const std::string& path, std::string_view head, std::string_view tail) = 0;
    virtual bool WriteTemporary(const std::string& path, std::string_view head, std::string_view tail) = 0;
};

class DiskTrackFiles final : public TrackFiles {
public:
    bool WriteTrack(const std::string& path, std::string_view head, std::string_view tail) override;
    bool WriteTemporary(const std::string& path, std::string_view head, std::string_view tail) override;
};

// "Track_" + yyyymmdd_hhmmss + ".kml" in `folder` (which ends in a separator).
std::string TrackFileName(const std::string& folder, const LocalDateTime& t);

class TrackRecorder {
public:
    TrackRecorder(const AppSettings& settings, EarthLink& earth, TrackFiles& files, const LocalClock& clock)
        : settings_(settings), earth_(earth), files_(files), clock_(clock) {}

    // True when either coordinate moved at least PrecisionInTrack from the
    // stored one; only the coordinate that moved is stored.
    bool TrackFilter(double longitude, double latitude);
    void AppendTrackPoint(double longitude, double latitude, double altitude);
    // Writes the temporary file and has Google Earth open it; false when Google Earth refused.
    bool ShowTrack();
    void SaveTrackTemp();
    void SaveTrackKml();
    void BeginTrackKml();

    // The track switch: starts a new recording or saves the one in progress.
    // Returns the switch's new tooltip.
    std::string OnTrackSwitch(bool checked, bool& bRecordTrack);
    // The panel is closing: a recording in progress is saved under its own name,
    // and tracks that could not be saved yet are tried once more.
    void OnPanelClose(bool bRecordTrack);
    // Tries again to save the tracks whose saving failed (disk full, folder
    // not writable); called every tick. True when none is left waiting.
    bool RetryUnsavedTracks();
    size_t unsavedTracks() const { return unsaved_.size(); }

    struct Simulation {
        MessagePump& pump;
        Sleeper& sleeper;
        CameraView& camera;
    };
    // Records and shows a short made-up drive to the north-east; one run at a
    // time (the receiver tick goes on during its pauses).
    void SimulateTrack(const Simulation& with);

    // Called with each coordinate line (without its CR LF) as it is added.
    void SetPointObserver(std::function<void(std::string_view)> observer) { onPoint_ = std::move(observer); }
    // Where the recording in progress will be saved.
    void SetKmlFile(std::string path) { kmlFile_ = std::move(path); }

    const KmlDocument& document() const { return document_; }
    const std::string& kmlFile() const { return kmlFile_; }
    double lastLongitude() const { return lastLongitude_; }
    double lastLatitude() const { return lastLatitude_; }

private:
    const AppSettings& settings_;
    EarthLink& earth_;
    TrackFiles& files_;
    const LocalClock& clock_;
    KmlDocument document_;
    std::string kmlFile_;
    double lastLongitude_ = 0;
    double lastLatitude_ = 0;
    bool simulating_ = false;
    // A stopped recording whose file could not be written: kept until it is.
    struct Unsaved {
        std::string path;
        std::string head;
        std::string tail;
    };
    std::vector<Unsaved> unsaved_;
    std::function<void(std::string_view)> onPoint_;
};

}  // namespace qv

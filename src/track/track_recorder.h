#pragma once
// Recording the driven track: the point filter, the document in memory, the
// temporary file Google Earth reloads after every point, and the saved track.
#include <functional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/message_pump.h"
#include "base/messages.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "base/timing.h"
#include "track/camera_view.h"
#include "track/kml_document.h"
#include "track/track_recovery.h"

namespace qv {

// What recording needs of the map: to show a track file on it.
class TrackMap {
public:
    virtual ~TrackMap() = default;
    // False when the map cannot show it now, or refused.
    virtual bool ShowTrackFile(const std::string& path) = 0;
};

// A map that shows nothing: recording without Google Earth.
class NoTrackMap final : public TrackMap {
public:
    bool ShowTrackFile(const std::string&) override { return false; }
};

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
    explicit DiskTrackFiles(FileSteps& steps = SystemFileSteps()) : steps_(steps) {}
    bool WriteTrack(const std::string& path, std::string_view head, std::string_view tail) override;
    bool WriteTemporary(const std::string& path, std::string_view head, std::string_view tail) override;

private:
    FileSteps& steps_;
};

// "Track_" + yyyymmdd_hhmmss + ".kml" in `folder` (which ends in a separator).
std::string TrackFileName(const std::string& folder, const LocalDateTime& t);

class TrackRecorder {
public:
    TrackRecorder(const AppSettings& settings, TrackMap& map, TrackFiles& files, const LocalClock& clock)
        : settings_(settings), map_(map), files_(files), clock_(clock) {}

    // True when either coordinate moved at least PrecisionInTrack from the
    // stored one; only the coordinate that moved is stored.
    bool TrackFilter(double longitude, double latitude);
    void AppendTrackPoint(double longitude, double latitude, double altitude);
    // Writes the temporary file and has the map show it; false when the map refused.
    bool ShowTrack();
    void SaveTrackTemp();
    void SaveTrackKml();
    void BeginTrackKml();
    void BeginTrackKml(const LocalDateTime& start);

    // Keeps each recording safe: a recovery file per recording, appended to
    // durably with every point; a track that cannot be saved in the program's
    // folder is saved in `places`' others and `savedElsewhere` told where.
    // A recovery file that cannot be written is told to `trouble`, once a recording.
    void KeepSafe(RecoveryDisk& disk, TrackPlaces places, std::function<void(const std::string&)> savedElsewhere,
                  std::function<void(const std::string&)> trouble = {}) {
        disk_ = &disk;
        places_ = std::move(places);
        savedElsewhere_ = std::move(savedElsewhere);
        trouble_ = std::move(trouble);
    }
    // The recovery file of the recording in progress; empty without one.
    const std::string& recoveryFile() const { return journalPath_; }

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
    // Shows a short made-up drive to the north-east, in a document of its own
    // (shown on the map only while nothing is being recorded); one run at a
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
    TrackMap& map_;
    TrackFiles& files_;
    const LocalClock& clock_;
    KmlDocument document_;
    std::string kmlFile_;
    double lastLongitude_ = 0;
    double lastLatitude_ = 0;
    bool simulating_ = false;
    bool recording_ = false;
    void OpenJournal(const LocalDateTime& start);
    // Writes the track to the first place that takes it; where, or nothing.
    std::optional<std::string> Save(const std::string& path, std::string_view head, std::string_view tail);
    void Saved(const std::string& asked, const std::string& where, const std::string& journalPath);

    RecoveryDisk* disk_ = nullptr;
    TrackPlaces places_;
    std::function<void(const std::string&)> savedElsewhere_;
    std::unique_ptr<RecoveryDisk::Journal> journal_;
    std::string journalPath_;
    std::function<void(const std::string&)> trouble_;
    bool journalTorn_ = false;      // the last append failed, maybe half written
    bool troubleTold_ = false;
    // A stopped recording whose file could not be written anywhere: kept, with
    // its recovery file held, until it is.
    struct Unsaved {
        std::string path;
        std::string head;
        std::string tail;
        std::unique_ptr<RecoveryDisk::Journal> journal;
        std::string journalPath;
    };
    std::vector<Unsaved> unsaved_;
    std::function<void(std::string_view)> onPoint_;
};

}  // namespace qv

#include "track/track_recorder.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <utility>

#include "base/file_io.h"

namespace qv {

bool DiskTrackFiles::WriteTrack(const std::string& path, std::string_view head, std::string_view tail) {
    // Durable before it returns: the recording's recovery file is deleted next.
    return ReplaceFileWith(path, {head, "\r\n", tail, "\r\n"}, steps_);
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
    std::string line = CoordinateLine(longitude, latitude, altitude);
    document_.AppendLine(line);
    // On the disk before the tick ends: a power cut loses at most this point. After a failed append, which
    // may have left half a line, the next one starts on a fresh line so that only the torn one is lost.
    if (journal_) {
        if (journal_->Append(journalTorn_ ? "\r\n" + line : line)) {
            journalTorn_ = false;
        } else {
            journalTorn_ = true;
            if (!troubleTold_ && trouble_) trouble_(text::Fill(text::kRecoveryUnwritable, journal_->Failure()));
            troubleTold_ = true;  // said once; every point is still tried
        }
    }
    if (onPoint_) onPoint_(std::string_view(line).substr(0, line.size() - 2));
}

bool TrackRecorder::ShowTrack() {
    // Without a temporary file there is nothing for Google Earth to open.
    if (settings_.TrackTempFile.empty()) return true;
    SaveTrackTemp();
    return map_.ShowTrackFile(settings_.TrackTempFile);
}

void TrackRecorder::SaveTrackTemp() {
    if (settings_.TrackTempFile.empty()) return;
    files_.WriteTemporary(settings_.TrackTempFile, document_.head(), document_.tail());
}

std::optional<std::string> TrackRecorder::Save(const std::string& path, std::string_view head, std::string_view tail) {
    if (disk_) {
        TrackPlaces places = places_;
        places.program = settings_.AppPath;
        return SaveTrackSomewhere(files_, *disk_, places, path, head, tail);
    }
    if (files_.WriteTrack(path, head, tail)) return path;
    return std::nullopt;
}

void TrackRecorder::Saved(const std::string& asked, const std::string& where, const std::string& journalPath) {
    // Saved: the recovery file has done its work.
    if (disk_ && !journalPath.empty()) disk_->Remove(journalPath);
    if (savedElsewhere_ && where != asked) savedElsewhere_(where);
}

void TrackRecorder::SaveTrackKml() {
    // A track file another recording wrote meanwhile is never replaced.
    if (disk_) kmlFile_ = UnusedTrackName(*disk_, kmlFile_, journalPath_);
    std::optional<std::string> where = Save(kmlFile_, document_.head(), document_.tail());
    std::unique_ptr<RecoveryDisk::Journal> journal = std::move(journal_);
    std::string journalPath = std::exchange(journalPath_, std::string());
    if (where) {
        journal.reset();  // let go of it before it is deleted
        Saved(kmlFile_, *where, journalPath);
        return;
    }
    // What could not be written is kept and tried again; its recovery file stays meanwhile.
    unsaved_.push_back({kmlFile_, std::string(document_.head()), std::string(document_.tail()), std::move(journal),
                        journalPath});
}

bool TrackRecorder::RetryUnsavedTracks() {
    std::erase_if(unsaved_, [&](Unsaved& u) {
        if (disk_) u.path = UnusedTrackName(*disk_, u.path, u.journalPath);
        std::optional<std::string> where = Save(u.path, u.head, u.tail);
        if (!where) return false;
        u.journal.reset();
        Saved(u.path, *where, u.journalPath);
        return true;
    });
    return unsaved_.empty();
}

void TrackRecorder::BeginTrackKml() { BeginTrackKml(clock_.Now()); }
void TrackRecorder::BeginTrackKml(const LocalDateTime& start) { document_.Begin(start); }

void TrackRecorder::OpenJournal(const LocalDateTime& start) {
    journal_.reset();
    journalPath_.clear();
    journalTorn_ = false;
    troubleTold_ = false;
    if (!disk_) return;
    const std::string header = RecoveryHeader(start);
    std::string path = kmlFile_ + kRecoverySuffix;
    journal_ = disk_->CreateJournal(path, header);
    if (!journal_ && !places_.local.empty()) {
        // The program's folder cannot be written: the local place keeps it.
        disk_->MakeFolder(places_.local.substr(0, places_.local.size() - 1));
        path = places_.local + BaseName(kmlFile_) + kRecoverySuffix;
        journal_ = disk_->CreateJournal(path, header);
    }
    if (journal_) journalPath_ = path;
}

std::string TrackRecorder::OnTrackSwitch(bool checked, bool& bRecordTrack) {
    bRecordTrack = checked;
    recording_ = checked;
    if (bRecordTrack) {
        // One moment names the file, stamps the document and heads the recovery file.
        LocalDateTime start = clock_.Now();
        kmlFile_ = TrackFileName(settings_.AppPath, start);
        if (disk_) kmlFile_ = UnusedTrackName(*disk_, kmlFile_);  // another recording of that second keeps its own
        BeginTrackKml(start);
        OpenJournal(start);
        return text::kTipStopTrack;
    }
    SaveTrackKml();
    return text::kTipStartTrack;
}

void TrackRecorder::OnPanelClose(bool bRecordTrack) {
    if (bRecordTrack) SaveTrackKml();
    RetryUnsavedTracks();
    // What is still unsaved keeps its recovery file, for the next start.
    for (Unsaved& u : unsaved_) u.journal.reset();
}

void TrackRecorder::SimulateTrack(const Simulation& with) {
    if (simulating_) return;
    simulating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{simulating_};

    // A document of its own: a recording in progress, its recovery file and the
    // map's view of it are never touched by a made-up drive.
    KmlDocument drive;
    LocalDateTime now = clock_.Now();
    drive.Begin(now);
    std::mt19937 random(static_cast<unsigned>(now.hour * 3600 + now.minute * 60 + now.second));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double longitude = 121.5, latitude = 31.12;
    drive.AppendPoint(longitude, latitude, 10.0);
    for (int i = 0; i < 10; ++i) {
        longitude += unit(random) * 0.001;
        latitude += unit(random) * 0.001;
        drive.AppendPoint(longitude, latitude, 10.0);
        with.pump.ProcessPending();
        with.sleeper.Sleep(1000);
        if (!recording_ && !settings_.TrackTempFile.empty() &&
            files_.WriteTemporary(settings_.TrackTempFile, drive.head(), drive.tail()))
            map_.ShowTrackFile(settings_.TrackTempFile);
        with.camera.SetCameraView(latitude, longitude, false, 0.0, true);
    }
}

}  // namespace qv

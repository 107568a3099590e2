#include "app/replay.h"

#include <deque>
#include <map>

#include "base/number_text.h"
#include "gps/gps_fix.h"
#include "app/fix_cycle.h"
#include "track/track_recorder.h"

namespace qv {
namespace {

using Journal = std::function<void(std::string_view)>;

// Writes "tick N" before the first event of each tick.
class TickJournal {
public:
    explicit TickJournal(const Journal& out) : out_(out) {}
    void StartTick(size_t n) {
        tick_ = n;
        announced_ = false;
    }
    void Event(const std::string& line) {
        if (!announced_) {
            out_("tick " + std::to_string(tick_));
            announced_ = true;
        }
        out_(line);
    }

private:
    const Journal& out_;
    size_t tick_ = 0;
    bool announced_ = false;
};

// The panel: only changes are journaled.
class JournalPanel final : public PanelView {
public:
    explicit JournalPanel(TickJournal& j) : journal_(j) {
        // As the panel starts: only the red picture shows.
        visible_[PanelControl::imgGPS0] = true;
        visible_[PanelControl::imgGPS1] = false;
        visible_[PanelControl::imgGPS2] = false;
        visible_[PanelControl::txtState] = false;
    }
    void SetText(PanelControl c, std::string_view text) override {
        auto it = texts_.find(c);
        if (it != texts_.end() && it->second == text) return;
        texts_[c] = std::string(text);
        journal_.Event(std::string("text ") + PanelControlName(c) + " " + std::string(text));
    }
    void SetVisible(PanelControl c, bool v) override {
        auto it = visible_.find(c);
        if (it != visible_.end() && it->second == v) return;
        visible_[c] = v;
        journal_.Event(std::string(v ? "show " : "hide ") + PanelControlName(c));
    }
    void SetTextColour(PanelControl c, uint32_t rgb) override {
        auto it = colours_.find(c);
        if (it != colours_.end() && it->second == rgb) return;
        colours_[c] = rgb;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%06X", rgb);
        journal_.Event(std::string("colour ") + PanelControlName(c) + " " + hex);
    }

private:
    TickJournal& journal_;
    std::map<PanelControl, std::string> texts_;
    std::map<PanelControl, bool> visible_;
    std::map<PanelControl, uint32_t> colours_;
};

std::string N(double v) { return ShortestDoubleText(v); }

class JournalEarth final : public EarthControl {
public:
    explicit JournalEarth(TickJournal& j) : journal_(j) {}
    std::unique_ptr<EarthCamera> CurrentView(bool terrain) override {
        journal_.Event(std::string("earth currentView ") + (terrain ? "1" : "0"));
        return nullptr;
    }
    bool SetView(EarthCamera&, bool terrain, double speed) override {
        journal_.Event(std::string("earth setView ") + (terrain ? "1" : "0") + " " + N(speed));
        return true;
    }
    bool SetViewParams(double lat, double lon, double range, double tilt, double azimuth, bool terrain,
                       double speed) override {
        journal_.Event("earth setViewParams " + N(lat) + " " + N(lon) + " " + N(range) + " " + N(tilt) + " " +
                       N(azimuth) + " " + (terrain ? "1" : "0") + " " + N(speed));
        return true;
    }
    bool OpenFile(const std::string& path) override {
        journal_.Event("earth OpenFile " + path);
        return true;
    }

private:
    TickJournal& journal_;
};

// The track shown on the map: journalled as Google Earth's OpenFile.
class JournalMap final : public TrackMap {
public:
    explicit JournalMap(TickJournal& j) : journal_(j) {}
    bool ShowTrackFile(const std::string& path) override {
        journal_.Event("earth OpenFile " + path);
        return true;
    }

private:
    TickJournal& journal_;
};

class JournalApp final : public EarthApp {
public:
    std::optional<int32_t> GetMainHwnd() override { return 1; }
    std::optional<int32_t> GetRenderHwnd() override { return 2; }
    EarthOutcome IsInitialized() override { return EarthOutcome::ok; }
    // The replay's camera and files go through the control.
    std::unique_ptr<EarthCamera> GetCamera(bool) override { return nullptr; }
    bool SetCamera(EarthCamera&, double) override { return false; }
    bool SetCameraParams(double, double, double, int32_t, double, double, double, double) override { return false; }
    bool OpenKmlFile(const std::string&, bool) override { return false; }
};

class JournalMarker final : public VehicleMarker {
public:
    explicit JournalMarker(TickJournal& j) : journal_(j) {}
    void SetAzimuth(double degrees) override { azimuth_ = degrees; }
    void SetNorth(bool north) override {
        journal_.Event("marker " + N(azimuth_) + (north ? " north-up" : " heading-up"));
    }
    int32_t Handle() override { return 3; }
    void MoveTo(int32_t, int32_t) override {}
    void Show() override {}
    void ShowCar(bool) override {}

private:
    TickJournal& journal_;
    double azimuth_ = 0;
};

// No windows offline: the map window cannot be measured, so the marker never moves.
class NoWindows final : public WindowApi {
public:
    bool SetTopMost(int32_t, bool) override { return true; }
    std::string GetWindowTitle(int32_t) override { return {}; }
    std::optional<PixelRect> GetWindowRect(int32_t) override { return std::nullopt; }
    std::optional<PixelRect> GetClientRect(int32_t) override { return std::nullopt; }
    float TwipsPerPixelX() override { return 15; }
    float TwipsPerPixelY() override { return 15; }
    void SetCapture(int32_t) override {}
    void ReleaseCapture() override {}
    bool ClientToScreen(int32_t, int32_t&, int32_t&) override { return false; }
    int32_t WindowFromPoint(int32_t, int32_t) override { return 0; }
};

// The log, N bytes at a time.
class LogPort final : public ReceiverInput {
public:
    LogPort(const std::string& text, size_t perTick) : text_(text), perTick_(perTick ? perTick : 1) {}
    std::optional<std::string> ReadReceiver() override {
        std::string chunk = text_.substr(at_, perTick_);
        at_ += chunk.size();
        return chunk;
    }
    bool done() const { return at_ >= text_.size(); }
    size_t at() const { return at_; }

private:
    const std::string& text_;
    size_t perTick_;
    size_t at_ = 0;
};

// The temporary file is not written offline; the saved track is.
class ReplayFiles final : public TrackFiles {
public:
    bool WriteTrack(const std::string& path, std::string_view head, std::string_view tail) override {
        return disk_.WriteTrack(path, head, tail);
    }
    bool WriteTemporary(const std::string&, std::string_view, std::string_view) override { return true; }

private:
    DiskTrackFiles disk_;
};

}  // namespace

std::string ReceiverText(std::string_view log) {
    std::string text;
    text.reserve(log.size());
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        end = end == std::string_view::npos ? log.size() : end + 1;
        std::string_view line = log.substr(at, end - at);
        if (line.empty() || line.front() != '#') text.append(line);
        at = end;
    }
    return text;
}

ReplayResult Replay(const std::string& text, const ReplayOptions& options, const Journal& journal,
                    const std::function<void(double)>& progress) {
    TickJournal ticks(journal);
    AppSettings settings = options.settings;
    GpsFix fix;
    fix.GPSState = 0;  // the link is open from the start
    fix.Pdop = -1;
    LogPort port(text, options.bytesPerTick);
    JournalPanel panel(ticks);
    SystemLocalClock clock;
    EarthLink earth;
    earth.app = std::make_unique<JournalApp>();
    earth.control = std::make_unique<JournalEarth>(ticks);
    earth.ready = true;
    earth.bGotMapWnd = true;
    PanelState view;
    view.bLockMap = true;
    view.bNorthUp = true;
    ReplayFiles files;
    JournalMap map(ticks);
    TrackRecorder track(settings, map, files, clock);
    ReplayResult result;
    track.SetPointObserver([&](std::string_view line) {
        ++result.trackPoints;
        ticks.Event("track " + std::string(line));
    });
    JournalMarker marker(ticks);
    NoWindows windows;
    FixCycle cycle(settings, fix, port, panel, clock, earth, view, track, marker, windows);
    if (options.record) {
        track.OnTrackSwitch(true, view.bRecordTrack);
        track.SetKmlFile(options.kmlFile);
    }
    while (!port.done()) {
        ticks.StartTick(++result.ticks);
        cycle.UpdateFromGps();
        if (progress && result.ticks % 4096 == 0) progress(static_cast<double>(port.at()) / text.size());
    }
    if (options.record)
        result.kmlSaved = files.WriteTrack(options.kmlFile, track.document().head(), track.document().tail());
    return result;
}

}  // namespace qv

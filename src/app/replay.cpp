#include "app/replay.h"

#include <chrono>
#include <deque>
#include <map>

#include "base/number_text.h"
#include "gps/gps_fix.h"
#include "app/fix_cycle.h"
#include "gps/nmea.h"
#include "track/track_recorder.h"
#include "ui/recording_panel.h"

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

// The local date and time of the log's first valid fix, or the first day of 2000 without one: the
// recording is named and dated by the log, so one log always gives the same track, byte for byte.
LocalDateTime FirstFixTime(const std::string& text, const AppSettings& settings) {
    TalkerList talkers = ParseTalkers(settings.GpsTalkers);
    GpsFix fix;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (ParseNmea(line, settings.TimeZone, fix, talkers).result != 1) continue;
        std::vector<std::string_view> fields;
        for (size_t from = 0;;) {
            size_t comma = line.find(',', from);
            fields.push_back(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
            if (comma == std::string_view::npos) break;
            from = comma + 1;
        }
        // A field of digits as a number; -1 for anything else.
        auto number = [](std::string_view digits) {
            int n = 0;
            for (char c : digits) {
                if (c < '0' || c > '9' || n > 100000) return -1;
                n = n * 10 + (c - '0');
            }
            return n;
        };
        std::string_view time = fields[1], date = fields.size() > 9 ? fields[9] : std::string_view();
        int day = 1, month = 1, year = 2000;
        if (date.size() == 6 && number(date) >= 0) {
            day = number(date.substr(0, 2));
            month = number(date.substr(2, 2));
            int yy = number(date.substr(4, 2));
            year = yy < 80 ? 2000 + yy : 1900 + yy;  // NMEA's two-digit years
        }
        using namespace std::chrono;
        year_month_day ymd{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                           std::chrono::day(static_cast<unsigned>(day))};
        if (!ymd.ok()) ymd = std::chrono::year(2000) / 1 / 1;
        sys_seconds utc = sys_days(ymd) + hours(number(time.substr(0, 2))) + minutes(number(time.substr(2, 2))) +
                          seconds(number(time.substr(4, 2))) + hours(settings.TimeZone);
        sys_days local = floor<days>(utc);
        year_month_day d(local);
        hh_mm_ss clock(utc - local);
        return {static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
                static_cast<int>(static_cast<unsigned>(d.day())), static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())};
    }
    return {};
}

// The replay's clock stands at the log's first fix.
class FixedClock final : public LocalClock {
public:
    explicit FixedClock(LocalDateTime t) : t_(t) {}
    std::string GeneralDateNow() const override {
        char text[32];
        std::snprintf(text, sizeof text, "%04d/%d/%d %02d:%02d:%02d", t_.year, t_.month, t_.day, t_.hour, t_.minute,
                      t_.second);
        return text;
    }
    std::string TimeOfDayNow() const override {
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", t_.hour, t_.minute, t_.second);
        return text;
    }
    LocalDateTime Now() const override { return t_; }

private:
    LocalDateTime t_;
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
    // As the panel starts: only the red picture shows; only changes are journaled.
    RecordingPanel panel([&](const std::string& event) { ticks.Event(event); }, true);
    FixedClock clock(FirstFixTime(text, settings));
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

// One receiver tick with one second of output (480 bytes at 4800 baud)
// through the whole fix cycle, with fakes for the port, the panel and Google
// Earth: median and worst time. Baseline, measured in the same run: the same
// bytes only split into lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gps/line_splitter.h"
#include "gps/nmea.h"
#include "base/file_io.h"
#include "app/fix_cycle.h"
#include "track/track_recovery.h"

namespace {

std::string WithChecksum(const std::string& body) { return qv::NmeaSentence(body.substr(1)) + "\r\n"; }

struct Port final : qv::ReceiverInput {
    std::deque<std::string> chunks;
    std::optional<std::string> ReadReceiver() override {
        if (chunks.empty()) return std::string();
        std::string c = std::move(chunks.front());
        chunks.pop_front();
        return c;
    }
};
struct Panel final : qv::PanelView {
    size_t bytes = 0;
    void SetText(qv::PanelControl, std::string_view t) override { bytes += t.size(); }
    void SetVisible(qv::PanelControl, bool) override {}
    void SetTextColour(qv::PanelControl, uint32_t) override {}
};
struct Clock final : qv::LocalClock {
    std::string GeneralDateNow() const override { return ""; }
    std::string TimeOfDayNow() const override { return "00:00:00"; }
    qv::LocalDateTime Now() const override { return {}; }
};
struct Control final : qv::EarthControl {
    long flights = 0;
    std::unique_ptr<qv::EarthCamera> CurrentView(bool) override { return nullptr; }
    bool SetView(qv::EarthCamera&, bool, double) override { return true; }
    bool SetViewParams(double, double, double, double, double, bool, double) override { return ++flights > 0; }
    bool OpenFile(const std::string&) override { return true; }
};
struct Windows final : qv::WindowApi {
    bool SetTopMost(int32_t, bool) override { return true; }
    std::string GetWindowTitle(int32_t) override { return {}; }
    std::optional<qv::PixelRect> GetWindowRect(int32_t) override { return qv::PixelRect{0, 60, 1280, 1024}; }
    std::optional<qv::PixelRect> GetClientRect(int32_t) override { return qv::PixelRect{0, 0, 32, 33}; }
    float TwipsPerPixelX() override { return 15; }
    float TwipsPerPixelY() override { return 15; }
    void SetCapture(int32_t) override {}
    void ReleaseCapture() override {}
    bool ClientToScreen(int32_t, int32_t&, int32_t&) override { return true; }
    int32_t WindowFromPoint(int32_t, int32_t) override { return 0; }
};
struct Marker final : qv::VehicleMarker {
    void SetAzimuth(double) override {}
    void SetNorth(bool) override {}
    int32_t Handle() override { return 1; }
    void MoveTo(int32_t, int32_t) override {}
    void Show() override {}
    void ShowCar(bool) override {}
};
struct NoFiles final : qv::TrackFiles {
    bool WriteTrack(const std::string&, std::string_view, std::string_view) override { return true; }
    bool WriteTemporary(const std::string&, std::string_view, std::string_view) override { return true; }
};

}  // namespace

int main() {
    // A receiver's output, second by second: RMC, GGA, GSA, three GSV, VTG.
    std::string log;
    const int kSeconds = 20000;
    for (int s = 0; s < kSeconds; ++s) {
        char b[200];
        int hh = s / 3600 % 24, mm = s / 60 % 60, ss = s % 60;
        std::snprintf(b, sizeof b, "$GPRMC,%02d%02d%02d.000,A,%.4f,N,%09.4f,E,30.0,%.1f,081226,,,A", hh, mm, ss,
                      2232.5 + s * 0.001, 11403.4 + s * 0.0013, (s * 3) % 360 + 0.5);
        log += WithChecksum(b);
        std::snprintf(b, sizeof b, "$GPGGA,%02d%02d%02d.000,%.4f,N,%09.4f,E,1,08,0.9,45.0,M,-2.1,M,,", hh, mm, ss,
                      2232.5 + s * 0.001, 11403.4 + s * 0.0013);
        log += WithChecksum(b);
        log += WithChecksum("$GPGSA,A,3,04,05,09,12,17,24,28,30,,,,,1.8,0.9,1.5");
        log += WithChecksum("$GPGSV,3,1,11,04,45,120,42,05,30,200,38,09,60,010,45,12,15,300,30");
        log += WithChecksum("$GPGSV,3,2,11,17,70,080,47,24,25,250,35,28,10,150,28,30,50,330,40");
        log += WithChecksum("$GPGSV,3,3,11,01,05,020,,02,08,100,,03,12,210,");
        log += WithChecksum("$GPVTG,54.7,T,,M,30.0,N,55.6,K,A");
    }
    std::vector<std::string> seconds;
    for (size_t at = 0; at < log.size(); at += 480) seconds.push_back(log.substr(at, 480));

    qv::AppSettings settings;
    settings.EyeHigh = 5000;
    settings.TimeZone = 8;
    settings.PrecisionInTrack = 0.0005;
    qv::GpsFix fix;
    fix.GPSState = 1;
    Port port;
    Panel panel;
    Clock clock;
    qv::EarthLink earth;
    auto control = std::make_unique<Control>();
    Control* flights = control.get();
    earth.control = std::move(control);
    earth.ready = true;
    earth.bGotMapWnd = true;
    qv::PanelState view;
    view.bLockMap = view.bNorthUp = true;
    NoFiles files;
    qv::NoTrackMap map;
    qv::TrackRecorder track(settings, map, files, clock);
    Marker marker;
    Windows windows;
    qv::FixCycle cycle(settings, fix, port, panel, clock, earth, view, track, marker, windows);

    auto timeEach = [&](const std::function<void(const std::string&)>& tick) {
        std::vector<double> us;
        us.reserve(seconds.size());
        for (const std::string& s : seconds) {
            auto start = std::chrono::steady_clock::now();
            tick(s);
            us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(us.begin(), us.end());
        return std::pair<double, double>{us[us.size() / 2], us.back()};
    };
    qv::LineSplitter splitter;
    size_t lines = 0;
    auto [baseMedian, baseWorst] = timeEach([&](const std::string& s) {
        splitter.Feed(s, [&](std::string_view) { ++lines; });
    });
    auto [median, worst] = timeEach([&](const std::string& s) {
        port.chunks.push_back(s);
        cycle.UpdateFromGps();
    });
    std::printf("ticks: %zu of 480 bytes (%zu lines, %ld camera moves)\n", seconds.size(), lines, flights->flights);
    std::printf("whole cycle: median %.2f us, worst %.2f us (target: median under 50 us)\n", median, worst);
    std::printf("splitting only (baseline): median %.2f us, worst %.2f us; cycle/baseline median ratio %.1f\n",
                baseMedian, baseWorst, median / baseMedian);

    // What recording adds to a tick that makes a point: the point appended to
    // the recovery file and put on the disk (fsync) before the tick ends.
    std::string path = (std::filesystem::temp_directory_path() / "tick_bench.recovering").string();
    std::vector<double> appends;
    {
        auto journal = qv::DurableFile::Create(path, qv::RecoveryHeader({2026, 12, 8, 7, 0, 0}));
        if (!journal) {
            std::printf("durable append: cannot create %s\n", path.c_str());
            return 1;
        }
        for (int i = 0; i < 300; ++i) {
            std::string line = qv::CoordinateLine(114.05 + i * 0.001, 22.5 + i * 0.001, 45);
            auto start = std::chrono::steady_clock::now();
            journal->Append(line);
            appends.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::remove(path.c_str());
    std::sort(appends.begin(), appends.end());
    double appendMedian = appends[appends.size() / 2];
    std::printf("durable append of a point (%s): median %.1f us, worst %.1f us; %.1f times the tick's median\n",
                path.c_str(), appendMedian, appends.back(), appendMedian / median);
    return 0;
}

#pragma once
// Hand-written fakes of the platform interfaces. Each records what was asked
// of it in a shared event list, so tests can check the order of calls.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>

#include "base/message_pump.h"
#include "base/run_log.h"
#include "gps/port_search.h"
#include "gps/receiver_link.h"
#include "gps/serial_port.h"
#include "track/track_recorder.h"
#include "ui/panel_view.h"
#include "ui/recording_panel.h"
#include "base/timing.h"
#include "earth/earth.h"
#include "earth/window_api.h"
#include "earth/vehicle_marker.h"

namespace qv::test {

using Events = std::vector<std::string>;

class FakeClock final : public LocalClock {
public:
    std::string GeneralDateNow() const override { return stamp; }
    std::string TimeOfDayNow() const override { return timeOfDay; }
    LocalDateTime Now() const override { return now; }
    LocalDateTime now{2026, 3, 7, 9, 5, 3};
    std::string stamp = "2026/12/8 16:32:43";
    std::string timeOfDay = "16:32:43";
};

class FakeSteadyClock final : public SteadyClock {
public:
    uint64_t NowMs() const override { return now; }
    uint64_t now = 1000000;
};

class FakeSleeper final : public Sleeper {
public:
    explicit FakeSleeper(Events& events) : events_(events) {}
    void Sleep(uint32_t ms) override { events_.push_back("sleep " + std::to_string(ms)); }

private:
    Events& events_;
};

class FakeWindowApi final : public WindowApi {
public:
    explicit FakeWindowApi(Events& events) : events_(events) {}
    bool SetTopMost(int32_t hwnd, bool onTop) override {
        events_.push_back("topmost " + std::to_string(hwnd) + (onTop ? " on" : " off"));
        return true;
    }
    std::string GetWindowTitle(int32_t hwnd) override {
        auto it = titles.find(hwnd);
        return it == titles.end() ? std::string() : it->second;
    }
    std::optional<PixelRect> GetWindowRect(int32_t hwnd) override {
        auto it = rects.find(hwnd);
        if (it == rects.end()) return std::nullopt;
        return it->second;
    }
    std::optional<PixelRect> GetClientRect(int32_t hwnd) override {
        auto it = rects.find(hwnd);
        if (it == rects.end()) return std::nullopt;
        return PixelRect{0, 0, it->second.right - it->second.left, it->second.bottom - it->second.top};
    }
    float TwipsPerPixelX() override { return twipsPerPixel; }
    float TwipsPerPixelY() override { return twipsPerPixel; }
    void SetCapture(int32_t hwnd) override { events_.push_back("capture " + std::to_string(hwnd)); }
    void ReleaseCapture() override { events_.push_back("release capture"); }
    bool ClientToScreen(int32_t hwnd, int32_t& x, int32_t& y) override {
        auto it = rects.find(hwnd);
        if (it == rects.end()) return false;
        x += it->second.left;
        y += it->second.top;
        return true;
    }
    int32_t WindowFromPoint(int32_t x, int32_t y) override {
        for (auto& [h, r] : rects)  // the smallest window holding the point
            if (h != 0 && x >= r.left && x < r.right && y >= r.top && y < r.bottom && h != pointIgnored) return h;
        return 0;
    }
    int32_t pointIgnored = -1;
    std::map<int32_t, PixelRect> rects;
    std::map<int32_t, std::string> titles;
    float twipsPerPixel = 15;

private:
    Events& events_;
};

class FakeMarker final : public VehicleMarker {
public:
    explicit FakeMarker(Events& events) : events_(events) {}
    void SetAzimuth(double degrees) override { azimuth = degrees; }
    void SetNorth(bool n) override { north = n; }
    int32_t Handle() override { return 0x4040; }
    void MoveTo(int32_t left, int32_t top) override {
        events_.push_back("marker move " + std::to_string(left) + " " + std::to_string(top));
    }
    void Show() override { events_.push_back("marker show"); }
    void ShowCar(bool show) override { events_.push_back(show ? "marker ShowCar on" : "marker ShowCar off"); }
    double azimuth = 0;
    bool north = true;

private:
    Events& events_;
};

class FakeEarthApp final : public EarthApp {
public:
    explicit FakeEarthApp(Events& events) : events_(events) {}
    std::optional<int32_t> GetMainHwnd() override {
        events_.push_back("GetMainHwnd");
        return failMain ? std::nullopt : std::optional<int32_t>(mainHwnd);
    }
    std::optional<int32_t> GetRenderHwnd() override {
        events_.push_back("GetRenderHwnd");
        return failMap ? std::nullopt : std::optional<int32_t>(mapHwnd);
    }
    EarthOutcome IsInitialized() override {
        events_.push_back("IsInitialized");
        if (notReadyPolls > 0) {
            --notReadyPolls;
            return EarthOutcome::notReady;
        }
        return initialized;
    }
    std::unique_ptr<EarthCamera> GetCamera(bool terrain) override;
    bool SetCamera(EarthCamera& camera, double speed) override;
    bool SetCameraParams(double lat, double lon, double alt, int32_t altMode, double range, double tilt,
                         double azimuth, double speed) override;
    bool OpenKmlFile(const std::string& path, bool suppress) override {
        events_.push_back("OpenKmlFile " + path + (suppress ? " 1" : " 0"));
        return true;
    }
    int32_t mainHwnd = 0x1010;
    int32_t mapHwnd = 0x2020;
    bool failMain = false;
    bool failMap = false;
    int notReadyPolls = 0;                        // this many polls answer "not ready" first
    EarthOutcome initialized = EarthOutcome::ok;  // then this

private:
    Events& events_;
};

class FakeEarthCamera final : public EarthCamera {
public:
    explicit FakeEarthCamera(Events& events) : events_(events) {}
    std::optional<double> Range() override {
        events_.push_back("camera.Range");
        return failRange ? std::nullopt : std::optional<double>(range);
    }
    bool SetRange(double metres) override {
        events_.push_back("camera.Range = " + std::to_string(static_cast<long long>(metres)));
        if (refuseSet) return false;
        range = metres;
        return true;
    }
    std::optional<double> Tilt() override {
        events_.push_back("camera.Tilt");
        return tilt;
    }
    bool SetTilt(double degrees) override {
        events_.push_back("camera.Tilt = " + std::to_string(static_cast<long long>(degrees)));
        if (refuseSet) return false;
        tilt = degrees;
        return true;
    }
    double range = 10000;
    double tilt = 0;
    bool failRange = false;
    bool refuseSet = false;

private:
    Events& events_;
};

class FakeEarthControl final : public EarthControl {
public:
    explicit FakeEarthControl(Events& events) : events_(events) {}
    std::unique_ptr<EarthCamera> CurrentView(bool terrain) override {
        events_.push_back(std::string("currentView ") + (terrain ? "terrain" : "0"));
        if (noCamera) return nullptr;
        auto camera = std::make_unique<FakeEarthCamera>(events_);
        camera->range = cameraRange;
        camera->tilt = cameraTilt;
        camera->failRange = cameraFailsRange;
        return camera;
    }
    bool SetView(EarthCamera& camera, bool terrain, double speed) override {
        auto& c = static_cast<FakeEarthCamera&>(camera);
        events_.push_back("setView range=" + Num(c.range) + " tilt=" + Num(c.tilt) + " terrain=" +
                          (terrain ? "1" : "0") + " speed=" + Num(speed));
        return !failCalls;
    }
    bool SetViewParams(double lat, double lon, double range, double tilt, double azimuth, bool terrain,
                       double speed) override {
        events_.push_back("fly " + Num(lat) + " " + Num(lon) + " " + Num(range) + " " + Num(tilt) + " " +
                          Num(azimuth) + " " + (terrain ? "1" : "0") + " " + Num(speed));
        return !failCalls;
    }
    bool OpenFile(const std::string& path) override {
        events_.push_back("OpenFile " + path);
        return !failCalls;
    }
    static std::string Num(double v) {
        char b[64];
        std::snprintf(b, sizeof b, "%.10g", v);
        return b;
    }
    double cameraRange = 10000;
    double cameraTilt = 0;
    bool cameraFailsRange = false;
    bool noCamera = false;
    bool failCalls = false;

private:
    Events& events_;
};

inline std::unique_ptr<EarthCamera> FakeEarthApp::GetCamera(bool terrain) {
    events_.push_back(std::string("GetCamera ") + (terrain ? "1" : "0"));
    return std::make_unique<FakeEarthCamera>(events_);
}
inline bool FakeEarthApp::SetCamera(EarthCamera& camera, double speed) {
    auto& c = static_cast<FakeEarthCamera&>(camera);
    events_.push_back("SetCamera range=" + FakeEarthControl::Num(c.range) + " tilt=" + FakeEarthControl::Num(c.tilt) +
                      " speed=" + FakeEarthControl::Num(speed));
    return true;
}
inline bool FakeEarthApp::SetCameraParams(double lat, double lon, double alt, int32_t altMode, double range,
                                          double tilt, double azimuth, double speed) {
    using N = FakeEarthControl;
    events_.push_back("SetCameraParams " + N::Num(lat) + " " + N::Num(lon) + " " + N::Num(alt) + " " +
                      std::to_string(altMode) + " " + N::Num(range) + " " + N::Num(tilt) + " " + N::Num(azimuth) +
                      " " + N::Num(speed));
    return true;
}

// One attempt to reach the fake Google Earth, answering as scripted.
class FakeEarthConnection final : public EarthConnection {
public:
    FakeEarthConnection(Events& events, int pendingPolls, bool appMissing, bool controlMissing, ControlMembers knows,
                        int32_t failure, std::shared_ptr<bool> lost, std::shared_ptr<bool> stuck)
        : events_(events),
          pendingPolls_(pendingPolls),
          appMissing_(appMissing),
          controlMissing_(controlMissing),
          knows_(knows),
          failure_(failure),
          lost_(std::move(lost)),
          stuck_(std::move(stuck)) {}
    State Poll() override {
        if (pendingPolls_ < 0) return State::pending;  // never answers
        if (pendingPolls_ > 0) {
            --pendingPolls_;
            return State::pending;
        }
        return appMissing_ ? State::failed : State::connected;
    }
    int32_t FailureCode() override { return failure_; }
    std::unique_ptr<EarthApp> TakeApp() override {
        if (appMissing_ || Poll() != State::connected) return nullptr;
        auto app = std::make_unique<FakeEarthApp>(events_);
        lastApp = app.get();
        return app;
    }
    std::unique_ptr<EarthControl> TakeControl() override {
        if (controlMissing_) return nullptr;
        return std::make_unique<FakeEarthControl>(events_);
    }
    ControlMembers ControlKnows() override { return controlMissing_ ? ControlMembers{} : knows_; }
    bool Lost() override { return *lost_; }
    bool Stuck() override { return *stuck_; }
    FakeEarthApp* lastApp = nullptr;

private:
    Events& events_;
    int pendingPolls_;
    bool appMissing_;
    bool controlMissing_;
    ControlMembers knows_;
    int32_t failure_;
    std::shared_ptr<bool> lost_;
    std::shared_ptr<bool> stuck_;
};

class FakeEarthConnector final : public EarthConnector {
public:
    explicit FakeEarthConnector(Events& events) : events_(events) {}
    std::unique_ptr<EarthConnection> Connect() override {
        events_.push_back("create app");
        events_.push_back("create control");
        ++connects;
        lost = std::make_shared<bool>(false);  // each connection dies on its own
        stuck = std::make_shared<bool>(false);
        return std::make_unique<FakeEarthConnection>(events_, pendingPolls, appMissing, controlMissing, knows,
                                                      failure, lost, stuck);
    }
    bool appMissing = false;
    bool controlMissing = false;
    ControlMembers knows{true, true, true, true};
    int pendingPolls = 0;  // polls that find the attempt still going; -1 for ever
    int32_t failure = static_cast<int32_t>(0x80040154);  // REGDB_E_CLASSNOTREG
    int connects = 0;
    std::shared_ptr<bool> lost = std::make_shared<bool>(false);  // the latest connection's
    std::shared_ptr<bool> stuck = std::make_shared<bool>(false);  // the latest connection's

private:
    Events& events_;
};

// A serial port with scripted input: each read takes the next chunk.
class FakeSerialPort final : public SerialPort {
public:
    explicit FakeSerialPort(Events& events) : events_(events) {}
    bool SetPortNumber(int32_t n) override {
        events_.push_back("port " + std::to_string(n));
        if (n < 1 || n > 255) return false;
        port = n;
        return true;
    }
    bool SetSettings(std::string_view text) override {
        events_.push_back("settings " + std::string(text));
        auto parsed = ParseSerialSettings(text);
        if (!parsed) return false;
        settings = *parsed;
        return true;
    }
    bool SetOpen(bool wantOpen) override {
        events_.push_back(wantOpen ? "open" : "close");
        if (wantOpen && openFails) return false;
        open = wantOpen;
        return true;
    }
    std::optional<std::string> ReadAll() override {
        if (!open || readFails) return std::nullopt;
        if (chunks.empty()) return std::string();
        std::string next = chunks.front();
        chunks.pop_front();
        return next;
    }
    bool Adopt(std::unique_ptr<ProbePort>& probe, int32_t n, const SerialSettings& s) override {
        events_.push_back("adopt COM" + std::to_string(n) + " " + std::to_string(s.baud));
        if (!probe) return false;
        probe.reset();
        port = n;
        settings = s;
        open = true;
        return true;
    }
    int32_t port = 1;
    SerialSettings settings;
    bool open = false;
    bool openFails = false;
    bool readFails = false;  // the device has gone
    std::deque<std::string> chunks;

private:
    Events& events_;
};

// The fix cycle's view of a fake port: reads it, and records what it is told.
class FakeReceiverInput final : public ReceiverInput {
public:
    explicit FakeReceiverInput(SerialPort& port) : port_(port) {}
    std::optional<std::string> ReadReceiver() override { return port_.ReadAll(); }
    void OnRmc(const std::string& talker, bool accepted) override {
        rmcs.push_back(talker + (accepted ? " accepted" : " other"));
    }
    std::vector<std::string> rmcs;

private:
    SerialPort& port_;
};

// Serial ports as the search sees them, each behaving as scripted on a fake clock.
struct FakePortScript {
    int64_t opensAfterMs = 0;   // how long opening takes
    bool openFails = false;     // and then it fails
    int64_t vanishesAfterMs = -1;  // the device goes away this long after opening; -1 never
    // The bytes that arrive between two moments (ms since opened), at a line speed.
    std::function<std::string(uint32_t baud, int64_t from, int64_t to)> bytes;
};

class FakePortFinder final : public PortFinder {
public:
    explicit FakePortFinder(const FakeSteadyClock& clock) : clock_(clock) {}
    std::vector<int32_t> ListPorts() override {
        std::vector<int32_t> out;
        for (auto& [n, script] : ports) out.push_back(n);
        return out;
    }
    std::unique_ptr<ProbePort> Open(int32_t port, const SerialSettings& settings) override;
    std::map<int32_t, FakePortScript> ports;
    std::vector<std::string> opened;  // "COM3 4800" for each open asked for
    int live = 0;                     // probes not yet closed

private:
    const FakeSteadyClock& clock_;
};

class FakeProbePort final : public ProbePort {
public:
    FakeProbePort(FakePortFinder& finder, const FakeSteadyClock& clock, const FakePortScript* script, uint32_t baud)
        : finder_(finder), clock_(clock), script_(script), baud_(baud), started_(static_cast<int64_t>(clock.now)) {
        ++finder_.live;
    }
    ~FakeProbePort() override { --finder_.live; }
    State Poll() override {
        if (!script_) return State::failed;
        if (Since() < script_->opensAfterMs) return State::opening;
        return script_->openFails ? State::failed : State::open;
    }
    bool SetSettings(const SerialSettings& s) override {
        baud_ = s.baud;
        return Poll() == State::open;
    }
    std::optional<std::string> Read() override {
        if (Poll() != State::open) return std::nullopt;
        int64_t open = Since() - script_->opensAfterMs;
        if (script_->vanishesAfterMs >= 0 && open >= script_->vanishesAfterMs) return std::nullopt;
        std::string out = script_->bytes ? script_->bytes(baud_, readTo_, open) : std::string();
        readTo_ = open;
        return out;
    }
    uint32_t baud() const { return baud_; }

private:
    int64_t Since() const { return static_cast<int64_t>(clock_.now) - started_; }
    FakePortFinder& finder_;
    const FakeSteadyClock& clock_;
    const FakePortScript* script_;
    uint32_t baud_;
    int64_t started_;
    int64_t readTo_ = 0;
};

inline std::unique_ptr<ProbePort> FakePortFinder::Open(int32_t port, const SerialSettings& settings) {
    opened.push_back("COM" + std::to_string(port) + " " + std::to_string(settings.baud));
    auto it = ports.find(port);
    return std::make_unique<FakeProbePort>(*this, clock_, it == ports.end() ? nullptr : &it->second, settings.baud);
}

// The map a recording is shown on: records each file it is asked to show.
class FakeTrackMap final : public TrackMap {
public:
    explicit FakeTrackMap(Events& events) : events_(events) {}
    bool ShowTrackFile(const std::string& path) override {
        events_.push_back("OpenFile " + path);
        return !refuse;
    }
    bool refuse = false;

private:
    Events& events_;
};

class FakePump final : public MessagePump {
public:
    explicit FakePump(Events& events) : events_(events) {}
    void ProcessPending() override {
        events_.push_back("pump");
        if (onPump) onPump();
    }
    std::function<void()> onPump;

private:
    Events& events_;
};

// Remembers the latest text, colour and visibility of every control, and
// records each change in order.
class FakePanelView final : public RecordingPanel {
public:
    explicit FakePanelView(Events& events)
        : RecordingPanel([&events](const std::string& event) { events.push_back(event); }) {}
    static std::string Name(PanelControl c) { return PanelControlName(c); }
};

}  // namespace qv::test

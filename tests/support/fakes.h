#pragma once
// Hand-written fakes of the platform interfaces. Each records what was asked
// of it in a shared event list, so tests can check the order of calls.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run_log.h"
#include "app/timing.h"
#include "mapview/earth.h"
#include "mapview/window_api.h"

namespace qv::test {

using Events = std::vector<std::string>;

class FakeClock final : public LocalClock {
public:
    std::string GeneralDateNow() const override { return stamp; }
    std::string stamp = "2026/12/8 16:32:43";
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
    int32_t mainHwnd = 0x1010;
    int32_t mapHwnd = 0x2020;
    bool failMain = false;
    bool failMap = false;

private:
    Events& events_;
};

class FakeEarthControl final : public EarthControl {
public:
    explicit FakeEarthControl(Events& events) : events_(events) {}
    std::unique_ptr<EarthCamera> CurrentView(bool) override {
        events_.push_back("currentView");
        return nullptr;
    }
    bool SetView(EarthCamera&, bool, double) override { return false; }
    bool SetViewParams(double, double, double, double, double, bool, double) override { return false; }
    bool OpenFile(const std::string& path) override {
        events_.push_back("OpenFile " + path);
        return true;
    }

private:
    Events& events_;
};

class FakeEarthConnector final : public EarthConnector {
public:
    explicit FakeEarthConnector(Events& events) : events_(events) {}
    std::unique_ptr<EarthApp> CreateApp() override {
        events_.push_back("create app");
        return appMissing ? nullptr : std::make_unique<FakeEarthApp>(events_);
    }
    std::unique_ptr<EarthControl> CreateControl() override {
        events_.push_back("create control");
        return controlMissing ? nullptr : std::make_unique<FakeEarthControl>(events_);
    }
    bool appMissing = false;
    bool controlMissing = false;

private:
    Events& events_;
};

}  // namespace qv::test

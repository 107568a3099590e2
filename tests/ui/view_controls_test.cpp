#include <gtest/gtest.h>

#include "ui/view_controls.h"
#include "support/fakes.h"

namespace qv {
namespace {

struct ViewFixture : ::testing::Test {
    test::Events events;
    AppSettings settings;
    EarthLink earth;
    PanelState view;
    test::FakePump pump{events};
    test::FakeSleeper sleeper{events};
    test::FakeMarker marker{events};
    int parked = 0;
    test::FakeSteadyClock steady;
    EarthBudget budget{steady};
    ViewControls controls{settings, earth, view, pump, sleeper, marker, budget, [this] { ++parked; }};
    test::FakeEarthControl* control;

    ViewFixture() {
        settings.EyeHigh = 5000;
        auto c = std::make_unique<test::FakeEarthControl>(events);
        control = c.get();
        earth.control = std::move(c);
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind("setView", 0) == 0) out.push_back(e);
        return out;
    }
    std::vector<long> Heights() const {
        std::vector<long> out;
        for (const auto& e : events)
            if (e.rfind("camera.Range = ", 0) == 0) out.push_back(std::stol(e.substr(15)));
        return out;
    }
};

TEST_F(ViewFixture, ZoomingInHeldGoesDownToFourHundredAndStops) {
    controls.OnZoomInPress();
    EXPECT_EQ(Heights(), (std::vector<long>{4375, 3828, 3350, 2931, 2565, 2244, 1964, 1718, 1503, 1315, 1151, 1007,
                                            881, 771, 675, 591, 517, 452, 400}));
    EXPECT_EQ(Sent().back(), "setView range=400 tilt=0 terrain=0 speed=100");
    EXPECT_EQ(settings.EyeHigh, 400);
    EXPECT_FALSE(view.bZooming);
    EXPECT_EQ(std::count(events.begin(), events.end(), "sleep 300"), 19);
    EXPECT_EQ(parked, 19);
}

TEST_F(ViewFixture, TheReleaseArrivesThroughTheMessagePump) {
    int steps = 0;
    pump.onPump = [&] {
        if (++steps == 3) controls.OnZoomRelease();
    };
    controls.OnZoomOutPress();
    EXPECT_EQ(Heights(), (std::vector<long>{5625, 6328, 7119}));
    EXPECT_EQ(std::count(events.begin(), events.end(), "sleep 100"), 3);
    EXPECT_EQ(Sent().back(), "setView range=7119 tilt=0 terrain=0 speed=1");
}

TEST_F(ViewFixture, TheReceiverTickRunsBetweenStepsAndSeesTheNewHeight) {
    std::vector<int32_t> seenByTick;
    pump.onPump = [&] {
        seenByTick.push_back(settings.EyeHigh);
        if (seenByTick.size() == 2) controls.OnZoomRelease();
    };
    controls.OnZoomInPress();
    EXPECT_EQ(seenByTick, (std::vector<int32_t>{4375, 3828}));
}

TEST_F(ViewFixture, ZoomingOutFromTheFloor) {
    settings.EyeHigh = 400;
    int steps = 0;
    pump.onPump = [&] {
        if (++steps == 3) controls.OnZoomRelease();
    };
    controls.OnZoomOutPress();
    EXPECT_EQ(Heights(), (std::vector<long>{500, 562, 632}));
}

TEST_F(ViewFixture, ZoomingOutStopsGrowingAtTheLargestHeight) {
    settings.EyeHigh = 2000000000;
    int steps = 0;
    pump.onPump = [&] {
        if (++steps == 3) controls.OnZoomRelease();
    };
    controls.OnZoomOutPress();
    EXPECT_EQ(Heights(), (std::vector<long>{2147483647, 2147483647, 2147483647}));
    EXPECT_EQ(ZoomOutStep(INT32_MAX), INT32_MAX);
    EXPECT_EQ(ZoomOutStep(-100), 500);
    EXPECT_EQ(ZoomInStep(-100), 400);
}

TEST_F(ViewFixture, ARefusedHeightEndsZoomingInAfterOneStep) {
    control->noCamera = false;
    pump.onPump = [&] {};
    // The camera refuses every new height.
    class Refusing final : public EarthControl {
    public:
        explicit Refusing(test::Events& e) : events(e) {}
        std::unique_ptr<EarthCamera> CurrentView(bool) override {
            auto c = std::make_unique<test::FakeEarthCamera>(events);
            c->refuseSet = true;
            return c;
        }
        bool SetView(EarthCamera&, bool, double) override {
            events.push_back("setView");
            return true;
        }
        bool SetViewParams(double, double, double, double, double, bool, double) override { return true; }
        bool OpenFile(const std::string&) override { return true; }
        test::Events& events;
    };
    earth.control = std::make_unique<Refusing>(events);
    controls.OnZoomInPress();
    EXPECT_EQ(settings.EyeHigh, 4375);
    EXPECT_FALSE(view.bZooming);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(std::count(events.begin(), events.end(), "sleep 300"), 0);
}

TEST_F(ViewFixture, WithoutGoogleEarthTheHeightStillStepsWhileHeld) {
    earth.control.reset();
    int steps = 0;
    pump.onPump = [&] {
        if (++steps == 4) controls.OnZoomRelease();
    };
    controls.OnZoomInPress();
    EXPECT_EQ(settings.EyeHigh, 2931) << "four steps in, as with Google Earth: the map page follows the height";
    EXPECT_EQ(parked, 4);
    steps = 0;
    controls.OnZoomOutPress();
    EXPECT_EQ(settings.EyeHigh, 4695) << "four steps out";
}

TEST_F(ViewFixture, ThreeDTiltsAFlatCameraAndTwoDFlattens) {
    struct {
        bool threeD;
        double tiltBefore;
        const char* sent;
    } cases[] = {{true, 10.0, "setView range=10000 tilt=45 terrain=0 speed=100"},
                 {true, 19.9, "setView range=10000 tilt=45 terrain=0 speed=100"},
                 {true, 20.0, "setView range=10000 tilt=20 terrain=0 speed=100"},
                 {true, 30.0, "setView range=10000 tilt=30 terrain=0 speed=100"},
                 {false, 30.0, "setView range=10000 tilt=0 terrain=0 speed=100"}};
    for (const auto& c : cases) {
        events.clear();
        control->cameraTilt = c.tiltBefore;
        controls.On3DClick(c.threeD);
        EXPECT_EQ(view.b3D, c.threeD);
        EXPECT_EQ(Sent(), (std::vector<std::string>{c.sent})) << c.tiltBefore;
    }
}

TEST_F(ViewFixture, FollowAndNorthOnlyChangeTheViewState) {
    EXPECT_EQ(controls.OnFollowClick(false), "锁定地图，中心显示GPS当前位置");
    EXPECT_FALSE(view.bLockMap);
    EXPECT_EQ(controls.OnFollowClick(true), "解锁地图，可移动地图");
    EXPECT_TRUE(view.bLockMap);
    controls.OnNorthClick(false);
    EXPECT_FALSE(view.bNorthUp);
    EXPECT_EQ(events, (test::Events{"marker ShowCar off", "pump", "marker ShowCar on", "pump"}));
    EXPECT_EQ(parked, 3);
}

}  // namespace
}  // namespace qv

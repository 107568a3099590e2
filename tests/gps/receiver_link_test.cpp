#include <gtest/gtest.h>

#include "gps/receiver_link.h"
#include "support/fakes.h"

namespace qv {
namespace {

struct LinkFixture : ::testing::Test {
    test::Events events;
    AppSettings settings;
    GpsFix fix;
    test::FakeSerialPort port{events};
    test::FakePanelView panel{events};
    test::FakePump pump{events};
    StatusBoard status{panel, "initial"};
    EarthLink earth;
    test::FakeEarthControl* control;
    ReceiverLink link{settings, fix, port, panel, status, pump, earth};

    LinkFixture() {
        settings.GpsPort = 3;
        settings.GpsSetting = "9600,n,8,1";
        settings.EyeHigh = 5000;
        auto c = std::make_unique<test::FakeEarthControl>(events);
        control = c.get();
        earth.control = std::move(c);
    }
};

TEST_F(LinkFixture, SuccessfulOpenShowsGreyAndCapsTheEyeHeight) {
    control->cameraRange = 12000;
    link.OpenGPS();
    EXPECT_EQ(events, (test::Events{"port 3", "settings 9600,n,8,1", "pump",
                                    "text txtState 连接 GPS 设备在串口 [3] ...", "show txtState", "pump", "open",
                                    "hide imgGPS0", "show imgGPS1", "hide imgGPS2", "currentView 0", "camera.Range",
                                    "camera.Range = 5000", "setView range=5000 tilt=0 terrain=0 speed=1",
                                    "hide txtState"}));
    EXPECT_EQ(fix.GPSState, 0);
    EXPECT_EQ(fix.Pdop, -1.0f);
    EXPECT_EQ(port.port, 3);
    EXPECT_EQ(port.settings.baud, 9600u);
    EXPECT_EQ(panel.ShownStateImage(), 1);
}

TEST_F(LinkFixture, ALowerCameraIsLeftAlone) {
    control->cameraRange = 3000;
    link.OpenGPS();
    EXPECT_EQ(std::count(events.begin(), events.end(), "camera.Range = 5000"), 0);
    EXPECT_EQ(events.back(), "hide txtState");
    control->cameraRange = 5000;  // exactly the configured height: nothing sent either
    events.clear();
    link.OpenGPS();
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](auto& e) { return e.rfind("setView", 0) == 0; }), 0);
}

TEST_F(LinkFixture, AnUnreadableHeightIsSetAnyway) {
    control->cameraFailsRange = true;
    link.OpenGPS();
    EXPECT_NE(std::find(events.begin(), events.end(), "setView range=5000 tilt=0 terrain=0 speed=1"), events.end());
}

TEST_F(LinkFixture, EarthFailuresDoNotStopTheOpen) {
    control->noCamera = true;
    link.OpenGPS();
    EXPECT_EQ(fix.GPSState, 0);
    EXPECT_EQ(fix.Pdop, -1.0f);
    EXPECT_FALSE(panel.visible[PanelControl::txtState]);
    earth.control.reset();  // no Google Earth at all
    link.OpenGPS();
    EXPECT_EQ(fix.GPSState, 0);
}

TEST_F(LinkFixture, NotFoundKeepsTheRedPictureAndSaysSo) {
    port.openFails = true;
    fix.Pdop = 2.5f;
    link.OpenGPS();
    EXPECT_EQ(fix.GPSState, -1);
    EXPECT_EQ(fix.Pdop, 2.5f);
    EXPECT_EQ(panel.ShownStateImage(), 0);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "未找到 GPS 设备在串口 [3] !");
    EXPECT_TRUE(panel.visible[PanelControl::txtState]);
    EXPECT_EQ(std::count(events.begin(), events.end(), "currentView 0"), 0);
}

TEST_F(LinkFixture, RefusedPortAndSettingsKeepTheOldOnes) {
    settings.GpsPort = 0;
    settings.GpsSetting = "";
    link.OpenGPS();
    EXPECT_EQ(port.port, 1);
    EXPECT_EQ(port.settings, SerialSettings{});
    EXPECT_EQ(panel.texts[PanelControl::txtState], "连接 GPS 设备在串口 [0] ...");
    settings.GpsPort = 70000;  // beyond 16 bits: not even offered to the port
    events.clear();
    link.OpenGPS();
    EXPECT_EQ(events.front(), "settings ");
}

TEST_F(LinkFixture, TheTickSeesNoReceiverWhileOpening) {
    std::vector<int32_t> seen;
    pump.onPump = [&] { seen.push_back(fix.GPSState); };
    link.OpenGPS();
    EXPECT_EQ(seen, (std::vector<int32_t>{-1, -1}));
}

TEST_F(LinkFixture, OnlyTheRedPictureReopens) {
    int reloads = 0;
    link.OnStateImageDoubleClick(1, [&] { ++reloads; });
    link.OnStateImageDoubleClick(2, [&] { ++reloads; });
    EXPECT_TRUE(events.empty());
    link.OnStateImageDoubleClick(0, [&] {
        ++reloads;
        settings.GpsPort = 4;
    });
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(port.port, 4);  // the settings were read before the open
    EXPECT_TRUE(port.open);
}

TEST_F(LinkFixture, CloseIsHarmlessOnAClosedLink) {
    link.CloseGPS();
    link.CloseGPS();
    EXPECT_EQ(events, (test::Events{"close", "pump", "pump", "pump", "pump", "close", "pump", "pump", "pump", "pump"}));
    EXPECT_FALSE(port.open);
}

TEST(ShowGPSState, ShowsExactlyOnePictureForAKnownState) {
    test::Events events;
    test::FakePanelView panel{events};
    for (int state : {-1, 0, 1}) {
        ShowGPSState(state, panel);
        EXPECT_EQ(panel.ShownStateImage(), state + 1);
    }
    events.clear();
    ShowGPSState(2, panel);
    ShowGPSState(-2, panel);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(panel.ShownStateImage(), 2);
}

}  // namespace
}  // namespace qv

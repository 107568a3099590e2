#include <gtest/gtest.h>

#include "base/file_io.h"
#include "earth/earth_link.h"
#include "gps/receiver_link.h"
#include "ui/status_board.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

const std::string kRmcOk = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

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
    test::FakeSteadyClock steady;
    test::FakePortFinder finder{steady};
    test::FakeClock clock;
    RunLog log{settings, clock};
    int reloads = 0;          // the user's: all of Config.ini
    int receiverReloads = 0;  // the link's own: the receiver's keys only
    std::function<void()> onReload;
    // Wired as the panel wires it: once open, the camera comes down to the eye height.
    ReceiverLink link{{settings, fix, port, panel, status, pump, finder, steady, log,
                       [this] {
                           ++reloads;
                           if (onReload) onReload();
                       },
                       [this] {
                           ++receiverReloads;
                           if (onReload) onReload();
                       },
                       [this] { CapEyeHeight(earth, settings.EyeHigh); }}};

    LinkFixture() {
        finder.ports[3] = {};  // COM3 is there and opens at once
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
                                    "text txtState 连接 GPS 设备在串口 [3] ...", "show txtState", "pump", "adopt COM3 9600",
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
    finder.ports[3].openFails = true;
    fix.Pdop = 2.5f;
    link.OpenGPS();
    EXPECT_EQ(fix.GPSState, -1);
    EXPECT_EQ(fix.Pdop, 2.5f);
    EXPECT_EQ(panel.ShownStateImage(), 0);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "未找到 GPS 设备在串口 [3] !");
    EXPECT_TRUE(panel.visible[PanelControl::txtState]);
    EXPECT_EQ(std::count(events.begin(), events.end(), "currentView 0"), 0);
}

TEST_F(LinkFixture, ARefusedPortOrSpeedIsSaidAndNothingIsOpened) {
    struct {
        int32_t port;
        const char* setting;
        const char* said;
    } cases[] = {
        {300, "9600,n,8,1", "Config.ini 中的 Port=300 不是可用的串口号（1 到 255；0 为自动查找）"},
        {-1, "9600,n,8,1", "Config.ini 中的 Port=-1 不是可用的串口号（1 到 255；0 为自动查找）"},
        {3, "14,n,8,1", "Config.ini 中的 Setting=14,n,8,1 不是可用的串口设置（例如 4800,n,8,1）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        settings.GpsPort = c.port;
        settings.GpsSetting = c.setting;
        events.clear();
        link.OnStateImageDoubleClick(0);
        EXPECT_EQ(std::count(events.begin(), events.end(), "open"), 0);
        EXPECT_FALSE(port.open);
        EXPECT_EQ(panel.texts[PanelControl::txtState], c.said);
        EXPECT_TRUE(panel.visible[PanelControl::txtState]);
        EXPECT_EQ(panel.ShownStateImage(), 0);
        EXPECT_EQ(link.phase(), ReceiverLink::Phase::closed);
    }
    // The speeds modern receivers use, and an empty Setting, which leaves the speed as it was.
    for (const char* fast : {"230400,n,8,1", "460800,n,8,1", "921600,n,8,1"}) {
        settings.GpsPort = 3;
        settings.GpsSetting = fast;
        link.OnStateImageDoubleClick(0);
        EXPECT_TRUE(port.open) << fast;
        EXPECT_EQ(SerialSettingsText(port.settings), fast);
        link.CloseGPS();
    }
    settings.GpsSetting = "";
    link.OnStateImageDoubleClick(0);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(port.settings.baud, 921600u);
}

TEST_F(LinkFixture, ASlowPortIsOpenedAsideWithThePanelGoingOn) {
    finder.ports[3].opensAfterMs = 20000;  // a Bluetooth port
    link.OnStateImageDoubleClick(0);
    EXPECT_EQ(link.phase(), ReceiverLink::Phase::opening);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "连接 GPS 设备在串口 [3] ...");
    EXPECT_EQ(link.ReadReceiver(), std::nullopt);
    for (int i = 0; i < 79; ++i) {
        steady.now += 250;
        link.OnTick();
    }
    EXPECT_EQ(fix.GPSState, -1);
    EXPECT_FALSE(port.open);
    steady.now += 250;
    link.OnTick();
    EXPECT_TRUE(port.open);
    EXPECT_EQ(link.phase(), ReceiverLink::Phase::open);
    EXPECT_EQ(panel.ShownStateImage(), 1);
    EXPECT_FALSE(panel.visible[PanelControl::txtState]);

    // One that does not open within the limit is not found, as one that fails.
    finder.ports[3].opensAfterMs = PortSearch::kOpenLimitMs + 1000;
    link.OnStateImageDoubleClick(1);
    steady.now += PortSearch::kOpenLimitMs;
    link.OnTick();
    EXPECT_EQ(panel.texts[PanelControl::txtState], "未找到 GPS 设备在串口 [3] !");
    EXPECT_EQ(panel.ShownStateImage(), 0);
    EXPECT_EQ(finder.live, 0) << "the port left behind is let go of";
}

TEST_F(LinkFixture, TheTickSeesNoReceiverWhileOpening) {
    std::vector<int32_t> seen;
    pump.onPump = [&] { seen.push_back(fix.GPSState); };
    link.OpenGPS();
    EXPECT_EQ(seen, (std::vector<int32_t>{-1, -1}));
}

TEST_F(LinkFixture, TheRedAndGreyPicturesReopenTheBlueOneDoesNot) {
    link.OnStateImageDoubleClick(2);
    EXPECT_TRUE(events.empty());
    finder.ports[4] = finder.ports[5] = {};
    onReload = [&] { settings.GpsPort = 4; };
    link.OnStateImageDoubleClick(0);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(port.port, 4);  // the settings were read before the open
    EXPECT_TRUE(port.open);
    // Grey: opened again with what Config.ini says now (another talker listed, say).
    onReload = [&] { settings.GpsPort = 5; };
    link.OnStateImageDoubleClick(1);
    EXPECT_EQ(reloads, 2);
    EXPECT_EQ(port.port, 5);
    EXPECT_TRUE(port.open);
}

TEST_F(LinkFixture, CloseIsHarmlessOnAClosedLink) {
    link.CloseGPS();
    link.CloseGPS();
    EXPECT_EQ(events, (test::Events{"close", "pump", "pump", "pump", "pump", "close", "pump", "pump", "pump", "pump"}));
    EXPECT_FALSE(port.open);
}

// The link over time, on a fake clock, ticking four times a second as the panel does.
struct LiveLinkFixture : LinkFixture {
    LiveLinkFixture() {
        finder.ports[3] = {};  // COM3 exists and opens at once
        link.OpenGPS();
        events.clear();
        finder.opened.clear();
    }
    void Run(uint64_t ms, bool bytes = false) {
        for (uint64_t t = 0; t < ms; t += 250) {
            steady.now += 250;
            if (bytes && steady.now % 1000 == 0) port.chunks.push_back("$GPGSV,1,1,00*79\r\n");
            if (steady.now % 1000 == 0) link.ReadReceiver();  // the receiver tick
            link.OnTick();
        }
    }
    std::string State() const { return panel.visible.at(PanelControl::txtState) ? panel.texts.at(PanelControl::txtState) : ""; }
};

TEST_F(LiveLinkFixture, SilenceTurnsGreyKeepsTheTextsAndTheLinkIsOpenedAgain) {
    fix.GPSState = 1;
    Run(4000, true);
    Run(4750);
    EXPECT_EQ(fix.GPSState, 1);  // 4.75 s without a byte is not yet silence
    Run(250);
    EXPECT_EQ(fix.GPSState, 0);
    EXPECT_EQ(panel.ShownStateImage(), 1);
    EXPECT_EQ(State(), "");  // grey says enough; the last fix's texts stay
    // It is opened again at once, reading the receiver's keys first (the zoom of this run stays); the port
    // is there, so the link is open again.
    EXPECT_EQ(receiverReloads, 1);
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(finder.opened.back(), "COM3 9600");
    EXPECT_EQ(link.phase(), ReceiverLink::Phase::open);
    port.chunks.push_back(kRmcOk);
    Run(1000);
    EXPECT_EQ(link.phase(), ReceiverLink::Phase::open);
}

TEST_F(LiveLinkFixture, AReadErrorClosesTheLinkAndItIsTriedEveryThreeSecondsUntilBack) {
    finder.ports.erase(3);  // unplugged
    port.readFails = true;
    Run(250);  // noticed between two reads
    EXPECT_EQ(fix.GPSState, -1);
    EXPECT_EQ(panel.ShownStateImage(), 0);
    EXPECT_EQ(State(), "GPS 设备已断开，正在重新连接…");
    EXPECT_FALSE(port.open);
    Run(2750);
    EXPECT_TRUE(finder.opened.empty());
    Run(250);
    EXPECT_EQ(finder.opened.size(), 1u);
    Run(3000);
    EXPECT_EQ(finder.opened.size(), 2u);
    EXPECT_EQ(receiverReloads, 2);
    EXPECT_EQ(reloads, 0);
    port.readFails = false;
    finder.ports[3] = {};  // plugged in again
    Run(3000);
    EXPECT_EQ(link.phase(), ReceiverLink::Phase::open);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(fix.GPSState, 0);  // grey, then blue with the first valid fix, as after a double click
    EXPECT_EQ(State(), "");
    EXPECT_NE(std::find(events.begin(), events.end(), "adopt COM3 9600"), events.end());
}

TEST_F(LiveLinkFixture, TicksPumpedDuringTheUsersReopenLeaveThePortToIt) {
    // Opening pumps messages, and the timer's tick comes with them while the port is shut for a moment.
    pump.onPump = [&] { link.OnTick(); };
    for (int picture : {1, 0}) {
        fix.GPSState = picture - 1;
        link.OnStateImageDoubleClick(picture);
        EXPECT_EQ(State(), "") << picture;
        EXPECT_EQ(link.phase(), ReceiverLink::Phase::open) << picture;
        EXPECT_TRUE(port.open) << picture;
        EXPECT_EQ(fix.GPSState, 0) << picture;
    }
}

TEST_F(LiveLinkFixture, AnotherTalkersRmcBringsTheHintAfterFiveSecondsAndAnAcceptedOneTakesItAway) {
    Run(1000, true);
    link.OnRmc("GN", false);
    Run(3750, true);
    EXPECT_EQ(State(), "");
    link.OnRmc("GN", false);
    Run(250, true);
    EXPECT_EQ(State(), "收到 $GNRMC 语句：请在 Config.ini 的 [GPS] 中设置 Talkers=GP,GN，然后双击卫星图标");
    link.OnRmc("GN", true);
    EXPECT_EQ(State(), "");
    // Another talker's RMC that came while ours were accepted, and no more since, brings no hint.
    link.OnRmc("GL", false);
    for (int i = 0; i < 6; ++i) {
        Run(1000, true);
        link.OnRmc("GP", true);
    }
    Run(10000, true);
    EXPECT_EQ(State(), "");
}

TEST_F(LinkFixture, PortZeroSearchesShowsWhatItTriesAndOpensWhatItFinds) {
    settings.GpsPort = 0;
    settings.GpsSetting = "";
    settings.WriteLog = true;
    test::TempDir dir;
    settings.LogFile = dir.File("Log.txt");
    finder.ports[2] = {};  // silent
    finder.ports[9] = {0, false, -1, [](uint32_t baud, int64_t, int64_t) {
                           // At another speed a receiver's bytes come out as rubbish.
                           return baud == 38400 ? std::string("$GPGSV,1,1,00*79\r\n$GPGSV,1,1,00*79\r\n")
                                                : std::string(600, '\xF7');
                       }};
    link.OpenGPS();
    EXPECT_EQ(panel.texts[PanelControl::txtState], "正在查找 GPS 设备：COM2 4800…");
    EXPECT_EQ(panel.ShownStateImage(), 0);
    for (int i = 0; i < 40 && link.phase() == ReceiverLink::Phase::searching; ++i) {
        steady.now += 250;
        link.OnTick();
    }
    EXPECT_EQ(link.phase(), ReceiverLink::Phase::open);
    EXPECT_EQ(port.port, 9);
    EXPECT_EQ(port.settings.baud, 38400u);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "已找到 GPS 设备：COM9 38400");
    EXPECT_EQ(settings.GpsSetting, "");  // Config.ini is never written, nor the settings changed
    EXPECT_NE(ReadWholeFile(settings.LogFile).value_or("").find("      - GPS Found : COM9 38400,n,8,1\r\n"),
              std::string::npos);
    steady.now += ReceiverLink::kFoundTextMs;
    port.chunks.push_back("$GPGSV,1,1,00*79\r\n");
    link.ReadReceiver();
    link.OnTick();
    EXPECT_FALSE(panel.visible[PanelControl::txtState]);

    // Nothing to be found: red, said so, and searched again every 10 s.
    finder.ports.clear();
    link.OpenGPS();
    EXPECT_EQ(panel.texts[PanelControl::txtState], "未找到 GPS 设备");
    EXPECT_EQ(panel.ShownStateImage(), 0);
    int before = receiverReloads, userReloads = reloads;
    steady.now += 9750;
    link.OnTick();
    EXPECT_EQ(receiverReloads, before);
    finder.ports[4] = {0, false, -1, [](uint32_t, int64_t, int64_t) { return std::string("$GPGSV,1,1,00*79\r\n"); }};
    steady.now += 250;
    link.OnTick();
    EXPECT_EQ(receiverReloads, before + 1);  // the receiver's keys only: the zoom of this run stays
    EXPECT_EQ(reloads, userReloads);
    for (int i = 0; i < 8; ++i) {
        steady.now += 250;
        link.OnTick();
    }
    EXPECT_EQ(port.port, 4);
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

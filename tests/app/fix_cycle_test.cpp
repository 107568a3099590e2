#include <gtest/gtest.h>

#include "app/fix_cycle.h"
#include "support/fakes.h"
#include "ui/earth_track_map.h"

namespace qv {
namespace {

const char kRmcA[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const char kRmcV[] = "$GPRMC,123520,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*77";
const char kGga[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

struct CycleFixture : ::testing::Test {
    test::Events events;
    AppSettings settings;
    GpsFix fix;
    test::FakeSerialPort port{events};
    test::FakePanelView panel{events};
    test::FakeClock clock;
    EarthLink earth;
    PanelState view;
    class NoFiles final : public TrackFiles {
    public:
        bool WriteTrack(const std::string&, std::string_view, std::string_view) override { return true; }
        bool WriteTemporary(const std::string&, std::string_view, std::string_view) override { return true; }
    } files;
    EarthTrackMap map{earth};
    TrackRecorder track{settings, map, files, clock};
    test::FakeMarker marker{events};
    test::FakeWindowApi windows{events};
    test::FakeReceiverInput input{port};
    FixCycle cycle{settings, fix, input, panel, clock, earth, view, track, marker, windows};

    CycleFixture() {
        settings.TimeZone = 8;
        settings.EyeHigh = 5000;
        settings.PrecisionInTrack = 0.0005;
        settings.TrackTempFile = "temp.kml";
        port.open = true;
        earth.control = std::make_unique<test::FakeEarthControl>(events);
        earth.app = std::make_unique<test::FakeEarthApp>(events);
        earth.ready = true;
        earth.bGotMapWnd = true;
        view.bLockMap = true;
        view.bNorthUp = true;
        fix.Pdop = -1;
    }
    void Tick(const std::string& text) {
        port.chunks.push_back(text);
        events.clear();
        cycle.UpdateFromGps();
    }
    std::vector<std::string> Flights() const {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind("fly ", 0) == 0) out.push_back(e);
        return out;
    }
};

TEST_F(CycleFixture, WithoutAReceiverTheClockShows) {
    fix.GPSState = -1;
    port.chunks.push_back(std::string(kRmcA) + "\r\n");
    events.clear();
    cycle.UpdateFromGps();
    EXPECT_EQ(events, (test::Events{"text lblTime 16:32:43"}));
    EXPECT_EQ(port.chunks.size(), 1u);  // the port was not read
}

TEST_F(CycleFixture, AValidFixFillsThePanelAndMovesTheCamera) {
    Tick(std::string(kGga) + "\r\n" + kRmcA + "\r\n$GPGSA,A,3,04,05,,09");
    EXPECT_EQ(panel.texts[PanelControl::lblTime], "20:35:19");
    EXPECT_EQ(panel.texts[PanelControl::lblLongitude], "E 11°31' 00.12\"");
    EXPECT_EQ(panel.texts[PanelControl::lblLatitude], "N  48°07' 02.28\"");
    EXPECT_EQ(panel.texts[PanelControl::lblHigh], "545m");
    EXPECT_EQ(panel.texts[PanelControl::lblSpeed], "41.5km/h");
    EXPECT_EQ(panel.texts[PanelControl::lblAzimuth], "GPS精度 : -1.0");
    EXPECT_EQ(panel.colours[PanelControl::lblAzimuth], kYellow);
    EXPECT_EQ(Flights(), (std::vector<std::string>{"fly 48.1173 11.5167 5000 0 0 0 100"}));
    EXPECT_EQ(panel.ShownStateImage(), 2);
    EXPECT_EQ(fix.GPSState, 1);
}

TEST_F(CycleFixture, AVoidFixSaysTheSignalIsWeak) {
    Tick(std::string(kRmcV) + "\r\n");
    EXPECT_EQ(panel.texts[PanelControl::lblTime], "20:35:20");
    EXPECT_EQ(panel.texts[PanelControl::lblLongitude], "信号弱");
    for (auto c : {PanelControl::lblLatitude, PanelControl::lblHigh, PanelControl::lblSpeed, PanelControl::lblAzimuth})
        EXPECT_EQ(panel.texts[c], "");
    EXPECT_TRUE(Flights().empty());
    EXPECT_EQ(panel.ShownStateImage(), 1);
}

TEST_F(CycleFixture, ASentenceCutByTheReadIsFinishedNextTick) {
    std::string line = std::string(kRmcA) + "\r\n";
    Tick(line.substr(0, 30));
    EXPECT_TRUE(Flights().empty());
    Tick(line.substr(30));
    EXPECT_EQ(Flights().size(), 1u);
}

TEST_F(CycleFixture, AnyLineEndWorks) {
    for (const char* end : {"\r\n", "\r", "\n"}) {
        Tick(std::string(kRmcA) + end + kRmcA + end);
        EXPECT_EQ(Flights().size(), 2u) << "line end " << static_cast<int>(end[0]);
    }
}

TEST_F(CycleFixture, AFailedLineDoesNoPerFixWork) {
    // A valid fix, then an RMC whose speed cannot be read: one camera move, not two.
    Tick(std::string(kRmcA) + "\r\n$GPRMC,123521,A,4807.100,N,01131.000,E,,084.4,230394,003.1,W\r\n");
    EXPECT_EQ(Flights().size(), 1u);
    EXPECT_EQ(panel.texts[PanelControl::lblTime], "20:35:19");
}

TEST_F(CycleFixture, TheMapPageHearsOfEveryFixShownAndEveryPointRecordedBeforeGoogleEarthIsAsked) {
    struct Watcher final : FixWatcher {
        explicit Watcher(test::Events& e) : events(e) {}
        void OnFixShown(bool valid) override { events.push_back(valid ? "shown valid" : "shown weak"); }
        void OnTrackPoint(double lon, double lat, double) override {
            events.push_back("point " + std::to_string(lon).substr(0, 7) + " " + std::to_string(lat).substr(0, 7));
        }
        test::Events& events;
    } watcher{events};
    cycle.Watch(&watcher);
    view.bRecordTrack = true;
    track.BeginTrackKml();
    Tick("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,\r\n"
         "$GPRMC,123520,V,,,,,,,230394,,\r\n$GPRMC,123521,A,4807.039,N,01131.000,E,022.4,084.4,230394,,\r\n");
    auto told = [&] {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind("shown", 0) == 0 || e.rfind("point", 0) == 0 || e.rfind("fly ", 0) == 0)
                out.push_back(e.substr(0, e.rfind("fly ", 0) == 0 ? 3 : std::string::npos));
        return out;
    };
    // The second valid fix moved too little for a point; the void one is told as weak.
    EXPECT_EQ(told(), (std::vector<std::string>{"point 11.5167 48.1173", "shown valid", "fly", "shown weak",
                                                "shown valid", "fly"}));
    earth.ready = false;  // and without Google Earth, each fix is told all the same
    Tick("$GPRMC,123522,A,4808.000,N,01131.000,E,022.4,084.4,230394,,\r\n");
    EXPECT_EQ(told(), (std::vector<std::string>{"point 11.5167 48.1333", "shown valid"}));
}

TEST_F(CycleFixture, RecordsMovedFixesWithGoodPrecisionOnly) {
    view.bRecordTrack = true;
    track.BeginTrackKml();
    auto rmc = [](const char* lat) {
        std::string body = std::string("$GPRMC,123519,A,") + lat + ",N,01131.000,E,022.4,084.4,230394,,";
        return body + "\r\n";
    };
    auto gsa = [](const char* pdop) { return std::string("$GPGSA,A,3,04,,,,,,,,,,,,") + pdop + ",1.0,1.0\r\n"; };
    Tick(rmc("4807.038"));              // Pdop unknown (-1): recorded
    Tick(rmc("4807.039"));              // moved too little: not recorded
    Tick(gsa("6.0") + rmc("4807.100"));  // exactly 6.0: recorded
    Tick(gsa("6.5") + rmc("4807.200"));  // above 6.0: not recorded, yet the reference moves
    Tick(gsa("2.0") + rmc("4807.210"));  // compared with the unrecorded fix: too close
    Tick(rmc("4807.300"));
    EXPECT_EQ(track.document().points(), 3u);
    std::string head(track.document().head());
    EXPECT_NE(head.find("11.5167,48.1173,0\r\n"), std::string::npos);
    EXPECT_NE(head.find("11.5167,48.1183,0\r\n"), std::string::npos);
    EXPECT_EQ(head.find("48.1200"), std::string::npos);
    EXPECT_NE(head.find("11.5167,48.1217,0\r\n"), std::string::npos);
    view.bRecordTrack = false;
    Tick(rmc("4808.000"));
    EXPECT_EQ(track.document().points(), 3u);
    EXPECT_DOUBLE_EQ(track.lastLatitude(), 48.1333);  // the filter still follows
}

TEST_F(CycleFixture, PrecisionDecidesColourTrackAndCamera) {
    struct {
        const char* pdop;
        uint32_t colour;
        bool recorded, followed;
        const char* text;
    } cases[] = {{"8.0", kRed, false, true, "GPS精度 : 8.0"},    {"12.0", kRed, false, false, "GPS精度 : 12.0"},
                 {"6.0", kYellow, true, true, "GPS精度 : 6.0"},  {"10.0", kRed, false, true, "GPS精度 : 10.0"},
                 {"2.45", kYellow, true, true, "GPS精度 : 2.5"}};
    view.bRecordTrack = true;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pdop);
        track.BeginTrackKml();
        char lat[32];
        std::snprintf(lat, sizeof lat, "4807.%03d", 100 * ++n);  // far enough to make a point each time
        Tick(std::string("$GPGSA,A,3,04,,,,,,,,,,,,") + c.pdop + ",1.0,1.0\r\n$GPRMC,123519,A," + lat +
             ",N,01131.000,E,022.4,084.4,230394,,\r\n");
        EXPECT_EQ(panel.texts[PanelControl::lblAzimuth], c.text);
        EXPECT_EQ(panel.colours[PanelControl::lblAzimuth], c.colour);
        EXPECT_EQ(track.document().points(), c.recorded ? 1u : 0u);
        EXPECT_EQ(Flights().size(), c.followed ? 1u : 0u);
        EXPECT_EQ(std::count(events.begin(), events.end(), "topmost 16448 on"), c.followed ? 1 : 0);  // the marker
        EXPECT_EQ(panel.ShownStateImage(), 2);  // ShowGPSState either way
    }
}

TEST_F(CycleFixture, HeadingUpTurnsTheCameraAndTheMarkerAlwaysGetsTheCourse) {
    Tick(std::string(kRmcA) + "\r\n");
    EXPECT_EQ(Flights(), (std::vector<std::string>{"fly 48.1173 11.5167 5000 0 0 0 100"}));
    EXPECT_EQ(marker.azimuth, 84.4);
    EXPECT_TRUE(marker.north);
    view.bNorthUp = false;
    view.b3D = true;  // following keeps the tilted view
    Tick(std::string(kRmcA) + "\r\n");
    EXPECT_EQ(Flights(), (std::vector<std::string>{"fly 48.1173 11.5167 5000 60 84.4 0 100"}));
    EXPECT_EQ(marker.azimuth, 84.4);
    EXPECT_FALSE(marker.north);
}

TEST_F(CycleFixture, UnlockedTheCameraAndMarkerAreLeftAlone) {
    view.bLockMap = false;
    Tick(std::string(kRmcA) + "\r\n");
    EXPECT_TRUE(Flights().empty());
    EXPECT_EQ(std::count(events.begin(), events.end(), "topmost 16448 on"), 0);
    EXPECT_EQ(panel.texts[PanelControl::lblSpeed], "41.5km/h");
}

TEST_F(CycleFixture, TwoFixesInOneReadMoveTheCameraTwiceInOrder) {
    std::string second = "$GPRMC,123520,A,4807.538,N,01131.000,E,022.4,084.4,230394,,";
    Tick(std::string(kRmcA) + "\r\n" + second + "\r\n");
    EXPECT_EQ(Flights(), (std::vector<std::string>{"fly 48.1173 11.5167 5000 0 0 0 100",
                                                   "fly 48.1256 11.5167 5000 0 0 0 100"}));
}

TEST_F(CycleFixture, AFailingEarthLeavesThePanelWorking) {
    static_cast<test::FakeEarthControl&>(*earth.control).failCalls = true;
    Tick(std::string(kRmcA) + "\r\n");
    EXPECT_EQ(panel.texts[PanelControl::lblTime], "20:35:19");
    EXPECT_EQ(std::count(events.begin(), events.end(), "topmost 16448 on"), 1);  // the marker is still placed
    EXPECT_EQ(panel.ShownStateImage(), 2);
}

TEST_F(CycleFixture, UnknownMapWindowIsAskedForAndEndsTheTick) {
    earth.bGotMapWnd = false;
    Tick(std::string(kRmcA) + "\r\n" + kRmcA + "\r\n");
    EXPECT_TRUE(earth.bGotMapWnd);
    EXPECT_TRUE(Flights().empty());
    EXPECT_EQ(std::count(events.begin(), events.end(), "GetMainHwnd"), 1);
    EXPECT_EQ(panel.ShownStateImage(), 0);  // ShowGPSState not reached
    Tick(std::string(kRmcA) + "\r\n");
    EXPECT_EQ(Flights().size(), 1u);
}

TEST_F(CycleFixture, WhileEarthIsNotReadyTheCameraAndMarkerWaitButNothingIsDropped) {
    earth.ready = false;
    earth.bGotMapWnd = false;
    view.bRecordTrack = true;
    track.BeginTrackKml();
    Tick(std::string(kRmcA) + "\r\n" + "$GPRMC,123520,A,4808.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6F\r\n");
    EXPECT_EQ(panel.texts[PanelControl::lblTime], "20:35:20");  // the second fix was not dropped
    EXPECT_EQ(panel.ShownStateImage(), 2);
    EXPECT_TRUE(Flights().empty());
    EXPECT_EQ(std::count(events.begin(), events.end(), "GetMainHwnd"), 0);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](auto& e) { return e.rfind("marker", 0) == 0; }), 0);
    EXPECT_EQ(track.document().points(), 2u);  // recording goes on
}

TEST_F(CycleFixture, NumbersThatRoundToZeroFromBelowShowNoMinusSign) {
    Tick(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,-0.4,M,46.9,M,,") + "\r\n" + kRmcA + "\r\n");
    EXPECT_EQ(panel.texts[PanelControl::lblHigh], "0m");
    EXPECT_EQ(OneDecimal(-0.04), "0.0");   // a speed or a precision just below zero
    EXPECT_EQ(OneDecimal(-0.05), "-0.1");  // halves away from zero, as before
    EXPECT_EQ(OneDecimal(-1), "-1.0");     // the unknown precision
}

TEST_F(CycleFixture, AnotherTalkerIsDecodedOnlyWhenListedAndAlwaysReported) {
    const std::string gn = NmeaSentence("GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + "\r\n";
    Tick(gn);
    EXPECT_TRUE(Flights().empty());
    EXPECT_EQ(input.rmcs, (std::vector<std::string>{"GN other"}));
    settings.GpsTalkers = "gp, gn";  // as Config.ini is read again
    Tick(gn);
    EXPECT_EQ(Flights().size(), 1u);
    EXPECT_EQ(input.rmcs.back(), "GN accepted");
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "earth/earth_install.h"
#include "earth/earth_session.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(EarthResults, EachAnswerIsClassifiedOnce) {
    struct Case {
        uint32_t hresult;
        EarthOutcome outcome;
    };
    const Case cases[] = {
        {0x00000000, EarthOutcome::ok},           {0x00000001, EarthOutcome::ok},  // S_FALSE
        {0x00048003, EarthOutcome::ok},                                             // S_TELEPORTED
        {0x80048002, EarthOutcome::notReady},     {0x800706BA, EarthOutcome::disconnected},
        {0x80010108, EarthOutcome::disconnected}, {0x800706BE, EarthOutcome::disconnected},
        {0x800401FD, EarthOutcome::disconnected}, {0x80020006, EarthOutcome::unknownMember},
        {0x80020003, EarthOutcome::unknownMember}, {0x80004005, EarthOutcome::failed},  // E_FAIL
        {0x80020009, EarthOutcome::failed},                                              // DISP_E_EXCEPTION
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyEarthResult(static_cast<int32_t>(c.hresult)), c.outcome) << std::hex << c.hresult;
}

TEST(EarthRoutes, TheDocumentedInterfaceTakesWhatTheControlCannotDo) {
    const ControlMembers all{true, true, true, true};
    EXPECT_EQ(ChooseEarthRoutes(true, all), (EarthRoutes{false, false, false}));
    EXPECT_EQ(EarthRoutesText(ChooseEarthRoutes(true, all)), "");  // nothing changes when the control works
    EXPECT_EQ(ChooseEarthRoutes(false, all), (EarthRoutes{true, true, true}));
    EXPECT_EQ(EarthRoutesText(ChooseEarthRoutes(false, {})), " (IApplicationGE)");
    // A camera from one interface cannot go to the other: both camera members move together.
    EXPECT_EQ(ChooseEarthRoutes(true, {true, false, true, true}), (EarthRoutes{true, false, false}));
    EXPECT_EQ(ChooseEarthRoutes(true, {true, true, false, false}), (EarthRoutes{false, true, true}));
    EXPECT_EQ(EarthRoutesText(EarthRoutes{false, true, true}),
              " (KHInterface, IApplicationGE SetCameraParams, OpenKmlFile)");

    // The same camera values, in the same order, through the other interface.
    test::Events events;
    test::FakeEarthApp app(events);
    auto control = RouteEarthControl({true, true, true}, std::make_unique<test::FakeEarthControl>(events), app);
    control->SetViewParams(22.5431, 114.0579, 5000, 60, -30.5, false, 100);
    control->OpenFile("C:\\t.kml");
    auto camera = control->CurrentView(false);
    ASSERT_TRUE(camera);
    camera->SetRange(400);
    control->SetView(*camera, false, 1);
    EXPECT_EQ(events, (test::Events{"SetCameraParams 22.5431 114.0579 0 1 5000 60 -30.5 100", "OpenKmlFile C:\\t.kml 1",
                                    "GetCamera 0", "camera.Range = 400", "SetCamera range=400 tilt=0 speed=1"}));
}

struct SessionFixture : ::testing::Test {
    test::TempDir dir;
    test::Events events;
    AppSettings settings;
    test::FakeClock clock;
    RunLog log{settings, clock};
    test::FakeSteadyClock steady;
    test::FakeEarthConnector connector{events};
    EarthLink link;
    std::vector<std::string> statuses;
    int parked = 0, readied = 0;
    EarthSession session{link, connector, log, steady,
                         {[this](std::string_view t) { statuses.emplace_back(t); }, [this] { ++parked; },
                          [this] { ++readied; }}};

    SessionFixture() {
        settings.WriteLog = true;
        settings.LogFile = dir.File("Log.txt");
        EXPECT_TRUE(AttachEarth(link, connector.Connect()));
        events.clear();
    }
    test::FakeEarthApp& App() { return static_cast<test::FakeEarthApp&>(*link.app); }
    // Ticks every 250 ms for `ms`.
    void Run(uint64_t ms) {
        for (uint64_t t = 0; t < ms; t += EarthSession::kPollMs) {
            steady.now += EarthSession::kPollMs;
            session.OnTick();
        }
    }
    long Count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
    std::string Log() { return ReadWholeFile(settings.LogFile).value_or(""); }
};

TEST_F(SessionFixture, AReadyEarthIsFollowedAtOnceWithoutAWaitingText) {
    session.Begin();
    EXPECT_EQ(events, (test::Events{"IsInitialized", "GetMainHwnd", "GetRenderHwnd"}));
    EXPECT_TRUE(link.ready && link.bGotMapWnd);
    EXPECT_EQ(link.hGEMap, 0x2020);
    EXPECT_EQ(statuses, (std::vector<std::string>{""}));
    Run(5000);
    EXPECT_EQ(Count("IsInitialized"), 1);  // asked no more once ready
}

TEST_F(SessionFixture, AStartingEarthIsAskedEveryQuarterSecondUntilReady) {
    App().notReadyPolls = 20;  // five seconds of starting
    session.Begin();
    EXPECT_EQ(statuses, (std::vector<std::string>{text::kEarthWaiting}));
    EXPECT_FALSE(link.ready);
    Run(4750);
    EXPECT_EQ(Count("IsInitialized"), 20);
    EXPECT_EQ(Count("GetMainHwnd"), 0);  // no window asked for before readiness
    Run(250);
    EXPECT_EQ(Count("IsInitialized"), 21);
    EXPECT_TRUE(link.ready && link.bGotMapWnd);
    EXPECT_EQ(statuses.back(), "");
    EXPECT_EQ(readied, 1);
}

TEST_F(SessionFixture, AnEarthWithoutIsInitializedCountsAsReady) {
    App().initialized = EarthOutcome::unknownMember;
    session.Begin();
    EXPECT_TRUE(link.ready);
}

TEST_F(SessionFixture, AnEarthNeverReadyIsUsedAnywayAfter90SecondsAndTheLogSaysSo) {
    App().initialized = EarthOutcome::notReady;
    App().failMain = true;
    session.Begin();
    Run(89750);
    EXPECT_FALSE(link.ready);
    EXPECT_EQ(Log().find("Not Ready"), std::string::npos);
    Run(250);
    EXPECT_TRUE(link.ready);
    EXPECT_FALSE(link.bGotMapWnd);  // as today when the window handles cannot be had
    EXPECT_NE(Log().find("      - Google Earth Not Ready After 90 s\r\n"), std::string::npos);
    EXPECT_EQ(Count("IsInitialized"), 361);
}

TEST_F(SessionFixture, ALostEarthIsDroppedAndReconnectedEveryFiveSeconds) {
    session.Begin();
    link.camera = link.control->CurrentView(false);
    *connector.lost = true;
    connector.appMissing = true;  // Google Earth does not come back at first
    events.clear();
    Run(250);
    EXPECT_FALSE(link.app || link.control || link.camera || link.ready || link.bGotMapWnd);
    EXPECT_EQ(link.hGEMap, 0);
    EXPECT_EQ(parked, 1);
    EXPECT_EQ(statuses.back(), text::kEarthReconnecting);
    EXPECT_EQ(connector.connects, 2);  // the first new attempt goes out at once
    Run(4750);
    EXPECT_EQ(connector.connects, 2);
    Run(250);
    EXPECT_EQ(connector.connects, 3);
    Run(10000);
    EXPECT_EQ(connector.connects, 5);

    // It comes back, starting slowly: waited for as at start-up, then shown what it showed before.
    connector.appMissing = false;
    connector.pendingPolls = 3;
    Run(5000);
    EXPECT_EQ(connector.connects, 6);
    EXPECT_FALSE(link.app);  // still being created
    Run(750);
    EXPECT_TRUE(link.app != nullptr);
    EXPECT_TRUE(link.ready && link.bGotMapWnd);
    EXPECT_EQ(readied, 2);
    EXPECT_EQ(statuses.back(), "");
    std::string text = Log();
    EXPECT_NE(text.find("      - Google Earth Disconnected\r\n"), std::string::npos);
    EXPECT_NE(text.find("      - Reconnect Google Earth Succeed\r\n"), std::string::npos);
}

TEST_F(SessionFixture, WindowsNotHadAtReadinessAreAskedForOneAtATimeUntilHad) {
    App().failMap = true;  // a slow Google Earth: the map window's answer comes too late
    session.Begin();
    EXPECT_TRUE(link.ready);
    EXPECT_FALSE(link.bGotMapWnd);
    events.clear();
    Run(250);
    EXPECT_EQ(events, (test::Events{"GetRenderHwnd"})) << "the main window, had, is not asked for again";
    App().failMap = false;
    *connector.stuck = true;  // nothing is asked of a Google Earth that has a call out
    Run(250);
    EXPECT_FALSE(link.bGotMapWnd);
    *connector.stuck = false;
    Run(250);
    EXPECT_TRUE(link.bGotMapWnd);
    EXPECT_EQ(link.hGEMain, 0x1010);
    EXPECT_EQ(link.hGEMap, 0x2020);
    events.clear();
    Run(1000);
    EXPECT_TRUE(events.empty());
}

TEST_F(SessionFixture, AHungEarthIsSaidOnceAndUnsaidWhenItAnswersAndAnEndedOneIsReconnected) {
    session.Begin();
    statuses.clear();
    *connector.stuck = true;
    Run(250);
    EXPECT_TRUE(statuses.empty()) << "a call a little late is no hang";
    Run(500);
    EXPECT_EQ(statuses, std::vector<std::string>{text::kEarthHung});
    Run(5000);
    EXPECT_EQ(statuses.size(), 1u);
    *connector.stuck = false;  // the late call came back
    Run(250);
    EXPECT_EQ(statuses.back(), "");
    EXPECT_TRUE(link.ready);

    // Hung again, then ended by the user: the stuck call fails as disconnected.
    *connector.stuck = true;
    Run(750);
    EXPECT_EQ(statuses.back(), text::kEarthHung);
    *connector.lost = true;
    statuses.clear();
    Run(250);
    EXPECT_EQ(connector.connects, 2);
    EXPECT_TRUE(link.ready);
    EXPECT_EQ(statuses, (std::vector<std::string>{text::kEarthReconnecting, ""}));
    std::string text = Log();
    auto count = [&](const std::string& line) {
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("      - Google Earth Not Answering\r\n"), 2u);
    EXPECT_EQ(count("      - Google Earth Answers Again\r\n"), 1u);
}

TEST_F(SessionFixture, AnAttemptThatNeverAnswersIsLeftAfterAMinute) {
    session.Begin();
    *connector.lost = true;
    connector.pendingPolls = -1;
    Run(250);
    EXPECT_EQ(connector.connects, 2);
    Run(59750);
    EXPECT_EQ(connector.connects, 2);
    Run(250);
    EXPECT_EQ(connector.connects, 3);
    // Two left behind, still stuck: no third thread is spent until one of them ends.
    Run(60000);
    EXPECT_EQ(connector.connects, 3);
    Run(60000);
    EXPECT_EQ(connector.connects, 3);
}

// A machine described by tables: registry values and files that exist.
struct FakeInstall final : InstallProbe {
    std::optional<std::string> MachineValue(bool view32, const std::string& key, const std::string& name) override {
        auto it = values.find((view32 ? "32:" : "64:") + key + ":" + name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> Environment(const std::string& name) override {
        auto it = environment.find(name);
        if (it == environment.end()) return std::nullopt;
        return it->second;
    }
    bool FileExists(const std::string& path) override { return files.count(path) > 0; }
    std::map<std::string, std::string> values, environment;
    std::set<std::string> files;
};

TEST(EarthInstall, GoogleEarthProIsFoundWhereverItsInstallerPutIt) {
    const std::string key = "SOFTWARE\\Google\\Google Earth Pro:InstallLocation";
    FakeInstall machine;
    machine.environment = {{"ProgramFiles", "C:\\Program Files"}, {"ProgramFiles(x86)", "C:\\Program Files (x86)"}};
    EXPECT_FALSE(FindEarthProExecutable(machine));

    machine.files = {"C:\\Program Files (x86)\\Google\\Google Earth Pro\\client\\googleearth.exe"};
    EXPECT_EQ(FindEarthProExecutable(machine), "C:\\Program Files (x86)\\Google\\Google Earth Pro\\client\\googleearth.exe");

    // The installer's own record wins, in the 32-bit view, quoted and without a final separator.
    machine.values["32:" + key] = "\"D:\\Apps\\Earth\"";
    machine.files.insert("D:\\Apps\\Earth\\client\\googleearth.exe");
    EXPECT_EQ(FindEarthProExecutable(machine), "D:\\Apps\\Earth\\client\\googleearth.exe");
    machine.values["64:" + key] = "E:\\GE\\";
    machine.files.insert("E:\\GE\\googleearth.exe");
    EXPECT_EQ(FindEarthProExecutable(machine), "E:\\GE\\googleearth.exe");

    EXPECT_TRUE(IsClassNotRegistered(static_cast<int32_t>(0x80040154)));
    EXPECT_TRUE(IsClassNotRegistered(static_cast<int32_t>(0x800401F3)));
    EXPECT_FALSE(IsClassNotRegistered(static_cast<int32_t>(0x80080005)));
}

}  // namespace
}  // namespace qv

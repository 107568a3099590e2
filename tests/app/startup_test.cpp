#include <gtest/gtest.h>

#include "base/file_io.h"
#include "app/startup.h"
#include "track/track_recovery.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

class FakeStartup final : public StartupPlatform {
public:
    FakeStartup(test::Events& events, std::string folder) : events_(events), folder_(std::move(folder)), earth(events) {}
    std::string ExecutableFolder() override { return folder_; }
    const ProfileReader& Profile() override { return profile_; }
    EarthConnector& Earth() override { return earth; }
    InstallProbe& Install() override { return install; }
    const SteadyClock& Clock() override { return steady; }
    void Pause(uint32_t ms) override { steady.now += ms; }
    void ShowError(std::string_view text, std::string_view title) override {
        events_.push_back("error box " + std::string(title) + ": " + std::string(text));
    }
    TrackFiles& Tracks() override { return tracks; }
    RecoveryDisk& Recovery() override { return recovery; }
    TrackPlaces Places(const AppSettings& settings) override { return {settings.AppPath, "", ""}; }
    bool ShowMainWindow(const std::vector<std::string>& recovered) override {
        events_.push_back("show main window");
        shownRecovered = recovered;
        return windowOpens;
    }
    std::vector<std::string> shownRecovered;
    DiskTrackFiles tracks;
    DiskRecovery recovery;
    bool windowOpens = true;

private:
    test::Events& events_;
    std::string folder_;
    PortableProfileReader profile_;

public:
    test::FakeEarthConnector earth;
    test::FakeSteadyClock steady;
    // A machine with one file, found through its environment.
    struct Install final : InstallProbe {
        std::optional<std::string> MachineValue(bool, const std::string&, const std::string&) override {
            return std::nullopt;
        }
        std::optional<std::string> Environment(const std::string& name) override {
            if (name == "ProgramFiles") return "C:\\Program Files";
            return std::nullopt;
        }
        bool FileExists(const std::string& path) override { return path == exe; }
        std::string exe;
    } install;
};

struct StartupFixture : ::testing::Test {
    test::TempDir dir;
    test::Events events;
    FakeStartup platform{events, dir.path()};
    AppSettings settings;
    test::FakeClock clock;
    RunLog log{settings, clock};
    EarthLink link;

    bool Run() { return RunStartup(settings, link, log, platform); }
    std::vector<std::string> LogMessages() {
        std::vector<std::string> lines;
        std::string text = ReadWholeFile(dir.File("Log.txt")).value_or("");
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            std::string line = text.substr(at, end - at);
            EXPECT_EQ(line.rfind(clock.stamp, 0), 0u) << line;
            lines.push_back(line.substr(28));
        }
        return lines;
    }
};

TEST_F(StartupFixture, EarthMissingLogsTheErrorAndShowsTheBoxOnce) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n");
    platform.earth.appMissing = true;
    EXPECT_FALSE(Run());
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"===========================================",
                                                       "1. Start Quorvane & Init Params", "2. Open Google Earth",
                                                       "      - Open Google Earth Error"}));
    // The second object is still asked for; no window is opened.
    EXPECT_EQ(events, (test::Events{"create app", "create control",
                                    "error box 错误: 未安装 Google Earth，或 Google Earth 版本错误！"}));
}

TEST_F(StartupFixture, WithTheMapPageOnAMissingOrUnregisteredEarthOpensThePanelWithoutIt) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n[Web]\r\nEnabled=1\r\n");
    platform.earth.appMissing = true;
    platform.install.exe = "C:\\Program Files\\Google\\Google Earth Pro\\client\\googleearth.exe";
    EXPECT_TRUE(Run());
    auto lines = LogMessages();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"      - Open Google Earth Error",
                                        "      - Google Earth Not In Use : Map In Browser, Camera And Marker Skipped"}));
    EXPECT_EQ(events, (test::Events{"create app", "create control", "show main window"}));
    EXPECT_FALSE(link.connection || link.app || link.control);
    EXPECT_FALSE(link.ready);
    // An activation that never answers is given up as before, then the panel opens.
    events.clear();
    platform.earth.appMissing = false;
    platform.earth.pendingPolls = -1;
    EXPECT_TRUE(Run());
    EXPECT_EQ(events.back(), "show main window");
    EXPECT_FALSE(link.connection);
}

TEST_F(StartupFixture, WithoutTheControlTheDocumentedInterfaceIsUsedAndSaidSo) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n");
    platform.earth.controlMissing = true;
    EXPECT_TRUE(Run());
    EXPECT_EQ(LogMessages().back(), "      - Open Google Earth Succeed (IApplicationGE)");
    ASSERT_TRUE(link.app && link.control);
    link.control->SetViewParams(22.5, 114.1, 5000, 60, 30, false, 100);
    EXPECT_EQ(events.back(), "SetCameraParams 22.5 114.1 0 1 5000 60 30 100");
}

TEST_F(StartupFixture, AnActivationThatNeverAnswersIsGivenUpAfterAMinute) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n");
    platform.earth.pendingPolls = -1;
    uint64_t started = platform.steady.now;
    EXPECT_FALSE(Run());
    EXPECT_EQ(platform.steady.now - started, kActivationLimitMs);
    auto lines = LogMessages();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"      - Google Earth No Answer In 60 s", "      - Open Google Earth Error"}));
    EXPECT_EQ(events.back(), "error box 错误: 未安装 Google Earth，或 Google Earth 版本错误！");
}

TEST_F(StartupFixture, AnInstalledButUnregisteredEarthIsNamedWithItsFix) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n");
    platform.earth.appMissing = true;
    platform.install.exe = "C:\\Program Files\\Google\\Google Earth Pro\\client\\googleearth.exe";
    EXPECT_FALSE(Run());
    EXPECT_EQ(events.back(), "error box 错误: 已安装 Google Earth Pro，但其自动化接口未注册。请以管理员身份运行一次："
                             "\"C:\\Program Files\\Google\\Google Earth Pro\\client\\googleearth.exe\" /RegServer");
    EXPECT_EQ(LogMessages().back(),
              "      - Google Earth Pro Not Registered : C:\\Program Files\\Google\\Google Earth Pro\\client\\googleearth.exe");
    // Another failure than a missing registration says what it always said.
    platform.earth.failure = static_cast<int32_t>(0x80080005);  // CO_E_SERVER_EXEC_FAILURE
    EXPECT_FALSE(Run());
    EXPECT_EQ(events.back(), "error box 错误: 未安装 Google Earth，或 Google Earth 版本错误！");
}

TEST_F(StartupFixture, EarthPresentOpensThePanel) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog= 1 \r\n");
    EXPECT_TRUE(Run());
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"===========================================",
                                                       "1. Start Quorvane & Init Params", "2. Open Google Earth",
                                                       "      - Open Google Earth Succeed"}));
    EXPECT_EQ(events, (test::Events{"create app", "create control", "show main window"}));
    EXPECT_TRUE(link.app && link.control);
}

TEST_F(StartupFixture, ALeftoverRecordingBecomesItsTrackBeforeGoogleEarthIsReached) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n");
    dir.Write("Track_20261208_070000.kml.recovering", RecoveryHeader({2026, 12, 8, 7, 0, 0}) + "114.0500,22.5000,9\r\n");
    EXPECT_TRUE(Run());
    std::string track = dir.File("Track_20261208_070000.kml");
    EXPECT_EQ(platform.shownRecovered, (std::vector<std::string>{track}));
    auto lines = LogMessages();
    EXPECT_EQ(lines[2], "      - Recovered Track : " + track);
    EXPECT_EQ(lines[3], "2. Open Google Earth");
    EXPECT_FALSE(FileExists(track + ".recovering"));
}

TEST_F(StartupFixture, NoLogAtAllUnlessWriteLogIsOne) {
    for (const char* config : {"[Log]\r\nWriteLog=0\r\n", "[Log]\r\nWriteLog=yes\r\n", ""}) {
        dir.Write("Config.ini", config);
        platform.earth.appMissing = true;
        Run();
        EXPECT_FALSE(ReadWholeFile(dir.File("Log.txt"))) << config;
    }
    std::filesystem::remove(dir.File("Config.ini"));
    Run();
    EXPECT_FALSE(ReadWholeFile(dir.File("Log.txt")));
}

TEST_F(StartupFixture, TwoRunsAppendEachWithItsBanner) {
    dir.Write("Config.ini", "[Log]\r\nWriteLog=1\r\n");
    platform.earth.appMissing = true;
    Run();
    Run();
    auto lines = LogMessages();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[4], "===========================================");
}

}  // namespace
}  // namespace qv

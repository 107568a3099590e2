#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.h"
#include "base/run_log.h"
#include "base/text_codec.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(FormatLogLine, StampThenMessageAtTheNextPrintColumnThenCrLf) {
    EXPECT_EQ(FormatLogLine("2026/12/8 16:32:43", "2. Open Google Earth"),
              "2026/12/8 16:32:43          2. Open Google Earth\r\n");
    // A stamp filling whole columns still gets a full column of space.
    EXPECT_EQ(FormatLogLine("12345678901234", "x"), "12345678901234              x\r\n");
    EXPECT_EQ(FormatLogLine("a", "      - Open Google Earth Error"),
              "a                   - Open Google Earth Error\r\n");
}

struct LogFixture : ::testing::Test {
    test::TempDir dir;
    AppSettings settings;
    test::FakeClock clock;
    RunLog log{settings, clock};
    LogFixture() { settings.LogFile = dir.File("Log.txt"); }
    std::optional<std::string> Contents() { return ReadWholeFile(settings.LogFile); }
};

TEST_F(LogFixture, NothingIsTouchedWhileLoggingIsOff) {
    settings.WriteLog = false;
    log.LogLine("1. Start Quorvane & Init Params");
    EXPECT_FALSE(Contents());
    dir.Write("Log.txt", "older run\r\n");
    log.LogLine("1. Start Quorvane & Init Params");
    EXPECT_EQ(Contents(), "older run\r\n");
}

TEST_F(LogFixture, CreatesThenAppendsLineByLine) {
    settings.WriteLog = true;
    clock.stamp = "2026/1/2 3:04:05";
    log.LogLine("===========================================");
    EXPECT_EQ(Contents(), "2026/1/2 3:04:05            ===========================================\r\n");
    clock.stamp = "2026/1/2 3:04:06";
    log.LogLine("1. Start Quorvane & Init Params");
    EXPECT_EQ(Contents(),
              "2026/1/2 3:04:05            ===========================================\r\n"
              "2026/1/2 3:04:06            1. Start Quorvane & Init Params\r\n");
}

TEST_F(LogFixture, ColumnsAreCountedInTheBytesWrittenNotInUtf8) {
    settings.WriteLog = true;
    clock.stamp = "2026年1月2日 3:04:05";  // a regional date with Chinese: 2 bytes a character in GBK, 3 in UTF-8
    log.LogLine("2. Open Google Earth");
    std::string line = Contents().value_or("");
    EXPECT_EQ(line, Utf8ToAnsi("2026年1月2日 3:04:05") + std::string(28 - 20, ' ') + "2. Open Google Earth\r\n");
}

TEST_F(LogFixture, LinesThatCannotBeWrittenAreLostSilently) {
    settings.WriteLog = true;
    settings.LogFile = dir.File("no such folder") + "/Log.txt";
    log.LogLine("lost");  // must neither throw nor create anything
    EXPECT_FALSE(std::filesystem::exists(dir.File("no such folder")));
    settings.LogFile = dir.path();  // a folder, not a file
    log.LogLine("lost too");
    settings.LogFile = dir.File("Log.txt");
    log.LogLine("kept");
    EXPECT_EQ(Contents(), "2026/12/8 16:32:43          kept\r\n");
}

TEST(SystemLocalClock, GivesDateAndTime) {
    SystemLocalClock clock;
    std::string now = clock.GeneralDateNow();
    EXPECT_GE(now.size(), 14u);
    EXPECT_NE(now.find(':'), std::string::npos);
    EXPECT_NE(now.find("20"), std::string::npos);
}

}  // namespace
}  // namespace qv

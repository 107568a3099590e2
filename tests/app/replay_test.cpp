#include <gtest/gtest.h>

#include "gps/nmea.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "app/replay.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::filesystem::path Captures() { return std::filesystem::path(QV_SHARED_DIR) / "nmea"; }

// A file that must be there: its absence fails the test instead of reading nothing.
std::string Contents(const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    EXPECT_TRUE(text.has_value()) << "cannot read " << path;
    return text.value_or("");
}

std::string Journal(const std::string& text, const ReplayOptions& options, ReplayResult* result = nullptr) {
    std::string out;
    ReplayResult r = Replay(text, options, [&](std::string_view line) { (out += line) += '\n'; });
    if (result) *result = r;
    return out;
}

ReplayOptions Defaults() {
    ReplayOptions o;
    o.settings.EyeHigh = 5000;
    o.settings.TimeZone = 8;
    o.settings.PrecisionInTrack = 0.0005;
    return o;
}

TEST(Replay, EveryCaptureGivesItsGoldenJournal) {
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Captures())) {
        if (entry.path().extension() != ".log") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::string golden = (std::filesystem::path(QV_SOURCE_DIR) / "tests" / "replay" / "golden" /
                              entry.path().filename().replace_extension(".journal"))
                                 .string();
        std::optional<std::string> expected = ReadWholeFile(golden);
        ASSERT_TRUE(expected) << golden;
        EXPECT_EQ(Journal(ReceiverText(Contents(entry.path().string())), Defaults()), *expected);
        ++compared;
    }
    EXPECT_EQ(compared, 7);
}

// What a replay decided: every camera move and every track point, in order.
std::vector<std::string> FixesAndTrack(const std::string& journal) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < journal.size()) {
        size_t end = journal.find('\n', at);
        std::string line = journal.substr(at, end - at);
        if (line.rfind("earth setViewParams", 0) == 0 || line.rfind("track ", 0) == 0 || line.rfind("marker", 0) == 0)
            out.push_back(line);
        at = end + 1;
    }
    return out;
}

TEST(Replay, ReadsCutAtAnyByteGiveTheSameFixesAndTrack) {
    for (const char* name : {"haicom-305N.log", "bt451.log", "holux-gm-210.log"}) {
        SCOPED_TRACE(name);
        std::string text = ReceiverText(Contents((Captures() / name).string()));
        ReplayOptions options = Defaults();
        options.settings.PrecisionInTrack = 0.0001;
        options.record = true;
        test::TempDir dir;
        options.kmlFile = dir.File("reference.kml");
        ReplayResult reference;
        std::vector<std::string> expected = FixesAndTrack(Journal(text, options, &reference));
        std::string referenceKml = Contents(options.kmlFile);
        for (size_t n = 1; n <= 600; ++n) {
            options.bytesPerTick = n;
            options.kmlFile = dir.File("split.kml");
            ReplayResult result;
            ASSERT_EQ(FixesAndTrack(Journal(text, options, &result)), expected) << n << " bytes a tick";
            ASSERT_EQ(result.trackPoints, reference.trackPoints);
            ASSERT_EQ(Contents(options.kmlFile), referenceKml) << n << " bytes a tick";
        }
    }
}

TEST(Replay, TheTrackIsDatedByTheLogsFirstValidFixInTheConfiguredTimeZone) {
    test::TempDir dir;
    ReplayOptions options = Defaults();
    options.record = true;
    options.kmlFile = dir.File("t.kml");
    std::string log = NmeaSentence("GPRMC,235958,V,4807.038,N,01131.000,E,022.4,084.4,311299,003.1,W") + "\r\n" +
                      NmeaSentence("GPRMC,235959,A,4807.038,N,01131.000,E,022.4,084.4,311299,003.1,W") + "\r\n";
    Journal(log, options);
    EXPECT_NE(Contents(options.kmlFile).find("<name>Track 2000-01-01 07:59:59</name>"), std::string::npos)
        << "the valid fix at 23:59:59 UTC on the last day of 1999, at +8";
    options.settings.TimeZone = -5;
    Journal(log, options);
    EXPECT_NE(Contents(options.kmlFile).find("<name>Track 1999-12-31 18:59:59</name>"), std::string::npos);
}

TEST(Replay, CommentLinesAreNotReceiverOutputAndAnEmptyLogSaysNothing) {
    EXPECT_EQ(ReceiverText("# header\n$GPGGA,1\r\n#mid\n$GPRMC,2\n#last"), "$GPGGA,1\r\n$GPRMC,2\n");
    ReplayResult result;
    EXPECT_EQ(Journal("", Defaults(), &result), "");
    EXPECT_EQ(result.ticks, 0u);
    EXPECT_EQ(Journal("# only a comment\n", Defaults()), "");
}

TEST(Replay, TheTimeZoneAndEyeHeightComeFromTheSettings) {
    const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    ReplayOptions options = Defaults();
    options.settings.TimeZone = -5;
    options.settings.EyeHigh = 1234;
    std::string journal = Journal(rmc, options);
    EXPECT_NE(journal.find("text lblTime 07:35:19\n"), std::string::npos) << journal;
    EXPECT_NE(journal.find("earth setViewParams 48.1173 11.5167 1234 0 0 0 100\n"), std::string::npos) << journal;
    options.settings.TrackTempFile = "temp.kml";
    options.record = true;
    test::TempDir dir;
    options.kmlFile = dir.File("t.kml");
    journal = Journal(rmc, options);
    EXPECT_NE(journal.find("track 11.5167,48.1173,0\nearth OpenFile temp.kml\n"), std::string::npos) << journal;
}

}  // namespace
}  // namespace qv

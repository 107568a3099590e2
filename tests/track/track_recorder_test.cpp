#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "track/track_recorder.h"

namespace qv {
namespace {

class FakeTrackFiles final : public TrackFiles {
public:
    explicit FakeTrackFiles(test::Events& events) : events_(events) {}
    bool WriteTrack(const std::string& path, std::string_view head, std::string_view tail) override {
        events_.push_back("write " + path);
        if (failing) return false;
        files[path] = std::string(head) + "\r\n" + std::string(tail) + "\r\n";
        return true;
    }
    bool WriteTemporary(const std::string& path, std::string_view head, std::string_view tail) override {
        events_.push_back("replace " + path);
        if (failing) return false;
        files[path] = std::string(head) + "\r\n" + std::string(tail) + "\r\n";
        return true;
    }
    std::map<std::string, std::string> files;
    bool failing = false;

private:
    test::Events& events_;
};

class FakeCameraView final : public CameraView {
public:
    explicit FakeCameraView(test::Events& events) : events_(events) {}
    void SetCameraView(double lat, double lon, bool tilted, double heading, bool north) override {
        events_.push_back("view " + test::FakeEarthControl::Num(lat) + " " + test::FakeEarthControl::Num(lon) +
                          (tilted ? " 3D " : " 2D ") + test::FakeEarthControl::Num(heading) +
                          (north ? " north" : " heading"));
    }

private:
    test::Events& events_;
};

struct RecorderFixture : ::testing::Test {
    test::Events events;
    AppSettings settings;
    test::FakeTrackMap map{events};
    FakeTrackFiles files{events};
    test::FakeClock clock;
    TrackRecorder recorder{settings, map, files, clock};

    RecorderFixture() {
        settings.AppPath = "C:\\Map\\";
        settings.TrackTempFile = "C:\\Temp\\track.kml";
        settings.PrecisionInTrack = 0.0005;
    }
};

TEST_F(RecorderFixture, FilterComparesEachCoordinateWithTheStoredOne) {
    // The first fix is compared with (0, 0).
    EXPECT_TRUE(recorder.TrackFilter(121.5, 31.2));
    EXPECT_FALSE(recorder.TrackFilter(121.5004, 31.2004));
    // Exactly the threshold counts (in binary fractions, so the difference is exact).
    settings.PrecisionInTrack = 0.0009765625;
    EXPECT_TRUE(recorder.TrackFilter(121.5 + 0.0009765625, 31.2));
    // Only the coordinate that moved is stored: a mixed pair.
    settings.PrecisionInTrack = 0.0005;
    EXPECT_TRUE(recorder.TrackFilter(121.51, 31.2003));
    EXPECT_EQ(recorder.lastLongitude(), 121.51);
    EXPECT_EQ(recorder.lastLatitude(), 31.2);
    EXPECT_TRUE(recorder.TrackFilter(121.51, 31.2005));
    EXPECT_EQ(recorder.lastLatitude(), 31.2005);
}

TEST_F(RecorderFixture, NearTheOriginTheFirstFixMayNotCount) {
    EXPECT_FALSE(recorder.TrackFilter(0.0004, -0.0004));
    EXPECT_TRUE(recorder.TrackFilter(0.0004, -0.0005));
}

TEST_F(RecorderFixture, ANonPositiveThresholdTakesEveryFix) {
    for (double threshold : {0.0, -1.0}) {
        settings.PrecisionInTrack = threshold;
        EXPECT_TRUE(recorder.TrackFilter(recorder.lastLongitude(), recorder.lastLatitude())) << threshold;
    }
}

TEST_F(RecorderFixture, RecordingWritesTheTemporaryFileAndTheTrack) {
    bool recording = false;
    EXPECT_EQ(recorder.OnTrackSwitch(true, recording), "停止记录轨迹");
    EXPECT_TRUE(recording);
    EXPECT_EQ(recorder.kmlFile(), "C:\\Map\\Track_20260307_090503.kml");
    recorder.AppendTrackPoint(121.4737, 31.2304, 12);
    EXPECT_TRUE(recorder.ShowTrack());
    recorder.AppendTrackPoint(121.4747, 31.2314, 13);
    EXPECT_TRUE(recorder.ShowTrack());
    EXPECT_EQ(events, (test::Events{"replace C:\\Temp\\track.kml", "OpenFile C:\\Temp\\track.kml",
                                    "replace C:\\Temp\\track.kml", "OpenFile C:\\Temp\\track.kml"}));
    EXPECT_EQ(files.files["C:\\Temp\\track.kml"], recorder.document().FileImage());
    clock.now.second = 59;
    EXPECT_EQ(recorder.OnTrackSwitch(false, recording), "开始记录轨迹");
    EXPECT_FALSE(recording);
    EXPECT_EQ(files.files["C:\\Map\\Track_20260307_090503.kml"], recorder.document().FileImage());
    EXPECT_EQ(recorder.document().points(), 2u);
}

TEST_F(RecorderFixture, WithoutATemporaryFileNothingIsWrittenOrOpened) {
    settings.TrackTempFile = "";
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(1, 2, 3);
    EXPECT_TRUE(recorder.ShowTrack());
    EXPECT_TRUE(events.empty());
    recorder.OnTrackSwitch(false, recording);
    EXPECT_EQ(events, (test::Events{"write C:\\Map\\Track_20260307_090503.kml"}));
}

TEST_F(RecorderFixture, QuittingWhileRecordingSavesTheRecording) {
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(1, 2, 3);
    clock.now.minute = 30;  // the recording keeps the name it started with
    recorder.OnPanelClose(recording);
    EXPECT_EQ(files.files.at("C:\\Map\\Track_20260307_090503.kml"), recorder.document().FileImage());
    events.clear();
    recorder.OnPanelClose(false);  // not recording: nothing to save
    EXPECT_TRUE(events.empty());
}

TEST_F(RecorderFixture, FailingWritesLoseNothingInMemory) {
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    files.failing = true;
    for (int i = 0; i < 5; ++i) {
        recorder.AppendTrackPoint(i, i, i);
        recorder.ShowTrack();
    }
    files.failing = false;
    recorder.AppendTrackPoint(5, 5, 5);
    recorder.ShowTrack();
    EXPECT_EQ(recorder.document().points(), 6u);
    EXPECT_EQ(files.files["C:\\Temp\\track.kml"], recorder.document().FileImage());
}

TEST_F(RecorderFixture, ATrackThatCouldNotBeSavedIsKeptUntilItIs) {
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(1, 2, 3);
    recorder.AppendTrackPoint(4, 5, 6);
    std::string first = recorder.document().FileImage();
    files.failing = true;  // the disk is full when the user stops
    recorder.OnTrackSwitch(false, recording);
    EXPECT_EQ(recorder.unsavedTracks(), 1u);
    EXPECT_FALSE(recorder.RetryUnsavedTracks());

    // A second recording, also stopped while the disk is full, does not disturb the first.
    clock.now.minute = 10;
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(7, 8, 9);
    std::string second = recorder.document().FileImage();
    recorder.OnTrackSwitch(false, recording);
    recorder.OnTrackSwitch(true, recording);  // a third one goes on in memory
    recorder.AppendTrackPoint(10, 11, 12);
    EXPECT_EQ(recorder.unsavedTracks(), 2u);
    EXPECT_TRUE(files.files.empty());

    files.failing = false;  // space returns
    EXPECT_TRUE(recorder.RetryUnsavedTracks());
    EXPECT_EQ(files.files.at("C:\\Map\\Track_20260307_090503.kml"), first);
    EXPECT_EQ(files.files.at("C:\\Map\\Track_20260307_091003.kml"), second);
    events.clear();
    EXPECT_TRUE(recorder.RetryUnsavedTracks());  // nothing left: nothing written again
    EXPECT_TRUE(events.empty());
}

TEST_F(RecorderFixture, ClosingTriesTheUnsavedTracksOnceMore) {
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(1, 2, 3);
    files.failing = true;
    recorder.OnTrackSwitch(false, recording);
    files.failing = false;
    recorder.OnPanelClose(false);
    EXPECT_EQ(files.files.at("C:\\Map\\Track_20260307_090503.kml"), recorder.document().FileImage());
    EXPECT_EQ(recorder.unsavedTracks(), 0u);
}

TEST_F(RecorderFixture, ARefusedShowIsReportedAndTheFileWrittenAnyway) {
    map.refuse = true;
    recorder.BeginTrackKml();
    EXPECT_FALSE(recorder.ShowTrack());
    EXPECT_EQ(events, (test::Events{"replace C:\\Temp\\track.kml", "OpenFile C:\\Temp\\track.kml"}));
}

TEST(TrackFileName, PatternHasLeadingZeros) {
    EXPECT_EQ(TrackFileName("C:\\Map\\", {2026, 3, 7, 9, 5, 3}), "C:\\Map\\Track_20260307_090503.kml");
    EXPECT_EQ(TrackFileName("/q/", {1999, 12, 31, 23, 59, 59}), "/q/Track_19991231_235959.kml");
}

TEST_F(RecorderFixture, SimulationDrivesElevenPointsNorthEastOneRunAtATimeBesideARecording) {
    test::FakeSleeper sleeper{events};
    test::FakePump pump{events};
    FakeCameraView camera{events};
    int nested = 0;
    pump.onPump = [&] {
        ++nested;
        recorder.SimulateTrack({pump, sleeper, camera});  // the tick during a pause: must not start again
    };
    recorder.SimulateTrack({pump, sleeper, camera});
    EXPECT_EQ(nested, 10);
    EXPECT_EQ(recorder.document().points(), 0u) << "the recorder's own document is not the simulation's";
    EXPECT_EQ(std::count(events.begin(), events.end(), "sleep 1000"), 10);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OpenFile C:\\Temp\\track.kml"), 10);
    std::string head = files.files.at("C:\\Temp\\track.kml");
    EXPECT_NE(head.find("121.5000,31.1200,10\r\n"), std::string::npos);
    // Every step moves north-east by less than 0.001 degrees.
    double lon = 121.5, lat = 31.12;
    size_t at = head.find("121.5000,31.1200,10\r\n") + 21;
    for (int i = 0; i < 10; ++i) {
        double nlon = 0, nlat = 0;
        ASSERT_EQ(std::sscanf(head.c_str() + at, "%lf,%lf,10", &nlon, &nlat), 2);
        EXPECT_GE(nlon, lon - 0.00005);
        EXPECT_LT(nlon - lon, 0.00105);
        EXPECT_GE(nlat, lat - 0.00005);
        EXPECT_LT(nlat - lat, 0.00105);
        lon = nlon;
        lat = nlat;
        at = head.find("\r\n", at) + 2;
    }
    EXPECT_TRUE(recorder.kmlFile().empty());  // never written by the simulation
    auto last = std::find_if(events.rbegin(), events.rend(), [](auto& e) { return e.rfind("view ", 0) == 0; });
    ASSERT_NE(last, events.rend());
    EXPECT_NE(last->find(" 2D 0 north"), std::string::npos) << *last;

    // During a recording: its points, its file name and the map's track stay as they were.
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(114.1, 22.5, 5);
    recorder.ShowTrack();
    std::string shown = files.files.at("C:\\Temp\\track.kml");
    std::string name = recorder.kmlFile();
    pump.onPump = nullptr;
    events.clear();
    recorder.SimulateTrack({pump, sleeper, camera});
    EXPECT_EQ(recorder.document().points(), 1u);
    EXPECT_EQ(recorder.kmlFile(), name);
    EXPECT_EQ(files.files.at("C:\\Temp\\track.kml"), shown);
    EXPECT_EQ(std::count(events.begin(), events.end(), "OpenFile C:\\Temp\\track.kml"), 0);
}

TEST(DiskTrackFiles, TheTemporaryFileIsReplacedWhole) {
    test::TempDir dir;
    DiskTrackFiles files;
    std::string path = dir.File("temp.kml");
    ASSERT_TRUE(files.WriteTemporary(path, "head\r\n", "tail"));
    EXPECT_EQ(ReadWholeFile(path), "head\r\n\r\ntail\r\n");
    ASSERT_TRUE(files.WriteTemporary(path, "longer head\r\n", "tail"));
    EXPECT_EQ(ReadWholeFile(path), "longer head\r\n\r\ntail\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    // A path that names a folder, or lies in a missing one: refused, nothing left behind.
    EXPECT_FALSE(files.WriteTemporary(dir.path(), "h", "t"));
    EXPECT_FALSE(files.WriteTrack(dir.path(), "h", "t"));
    EXPECT_FALSE(files.WriteTemporary(dir.File("missing") + "/t.kml", "h", "t"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + ".new"));
}

}  // namespace
}  // namespace qv

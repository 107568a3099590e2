#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/fakes.h"
#include "track/kml_document.h"
#include "track/track_recorder.h"
#include "track/track_recovery.h"

namespace qv {
namespace {

// Files in memory, in folders that can be made unwritable.
class MemoryDisk final : public RecoveryDisk, public TrackFiles {
public:
    bool Writable(const std::string& path) const {
        for (const std::string& folder : readOnly)
            if (path.rfind(folder, 0) == 0) return false;
        return true;
    }
    std::unique_ptr<Journal> CreateJournal(const std::string& path, std::string_view first) override {
        if (!Writable(path)) return nullptr;
        files[path] = std::string(first);
        held.insert(path);
        struct MemoryJournal final : Journal {
            MemoryJournal(MemoryDisk& d, std::string p) : disk(d), path(std::move(p)) {}
            ~MemoryJournal() override { disk.held.erase(path); }
            bool Append(std::string_view bytes) override {
                if (disk.tearNext) {  // the disk filled half way through
                    disk.tearNext = false;
                    disk.files[path] += bytes.substr(0, bytes.size() / 2);
                    return false;
                }
                if (!disk.Writable(path)) return false;
                disk.files[path] += bytes;
                return true;
            }
            std::string Failure() const override { return "disk full"; }
            MemoryDisk& disk;
            std::string path;
        };
        return std::make_unique<MemoryJournal>(*this, path);
    }
    std::vector<std::string> List(const std::string& folder, std::string_view suffix) override {
        std::vector<std::string> out;
        for (auto& [path, bytes] : files)
            if (path.rfind(folder, 0) == 0 && path.find('\\', folder.size()) == std::string::npos &&
                path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
                out.push_back(path);
        return out;
    }
    std::optional<std::string> ReadUnlessHeld(const std::string& path) override {
        if (held.count(path) || !files.count(path)) return std::nullopt;
        return files[path];
    }
    bool Exists(const std::string& path) override { return files.count(path) > 0; }
    bool Remove(const std::string& path) override { return files.erase(path) > 0; }
    bool Rename(const std::string& from, const std::string& to) override {
        if (!files.count(from) || files.count(to) || !Writable(to)) return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool MakeFolder(const std::string&) override { return true; }
    bool WriteTrack(const std::string& path, std::string_view head, std::string_view tail) override {
        if (!Writable(path)) return false;
        files[path] = std::string(head) + "\r\n" + std::string(tail) + "\r\n";
        return true;
    }
    bool WriteTemporary(const std::string& path, std::string_view head, std::string_view tail) override {
        return WriteTrack(path, head, tail);
    }

    std::map<std::string, std::string> files;
    std::set<std::string> held;
    std::set<std::string> readOnly;  // folders
    bool tearNext = false;           // the next append writes half and fails
};

const TrackPlaces kPlaces{"C:\\Map\\", "C:\\Users\\u\\AppData\\Local\\Quorvane\\", "C:\\Users\\u\\Documents\\"};
const LocalDateTime kStart{2026, 12, 8, 7, 30, 5};
const std::vector<std::string> kLines = {"114.0500,22.5000,9\r\n", "-114.0510,-22.5010,-12\r\n", "0.0000,0.0000,0\r\n"};

std::string RecoveryFile(const std::vector<std::string>& lines) {
    std::string out = RecoveryHeader(kStart);
    for (const std::string& l : lines) out += l;
    return out;
}

// What stopping that recording would have written.
std::string TrackOf(const std::vector<std::string>& lines) {
    KmlDocument d;
    d.Begin(kStart);
    for (const std::string& l : lines) d.AppendLine(l);
    return d.FileImage();
}

struct RecoveryFixture : ::testing::Test {
    MemoryDisk disk;
    test::FakeClock clock;
    AppSettings settings;
    RunLog log{settings, clock};
    std::vector<std::string> Recover() { return RecoverTracks(disk, disk, kPlaces, log); }
};

TEST_F(RecoveryFixture, ALeftoverBecomesTheTrackStoppingWouldHaveWritten) {
    disk.files["C:\\Map\\Track_20261208_073005.kml.recovering"] = RecoveryFile(kLines);
    EXPECT_EQ(Recover(), (std::vector<std::string>{"C:\\Map\\Track_20261208_073005.kml"}));
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005.kml"), TrackOf(kLines));
    EXPECT_EQ(disk.files.size(), 1u);  // no recovery file left
}

TEST_F(RecoveryFixture, ALastLineCutAtAnyByteIsDroppedAndTheWholeLinesKept) {
    const std::string whole = RecoveryFile(kLines);
    const size_t lastThree = RecoveryHeader(kStart).size();
    for (size_t cut = lastThree; cut <= whole.size(); ++cut) {
        std::optional<RecoveredTrack> track = ReadRecovery(std::string_view(whole).substr(0, cut));
        ASSERT_TRUE(track) << cut;
        size_t expected = 0, at = lastThree;
        for (const std::string& l : kLines)
            if ((at += l.size()) <= cut) ++expected;
        EXPECT_EQ(track->lines, std::vector<std::string>(kLines.begin(), kLines.begin() + expected)) << cut;
        EXPECT_EQ(track->start.minute, 30);
    }
    // Zeros where the power cut left blocks unwritten, rubbish, and lines not as the recorder writes them.
    std::optional<RecoveredTrack> track = ReadRecovery(RecoveryFile({kLines[0], std::string(24, '\0') + "\r\n",
                                                                     "114.05,22.5,9\r\n", "a,b,c\r\n", kLines[1]}));
    ASSERT_TRUE(track);
    EXPECT_EQ(track->lines, (std::vector<std::string>{kLines[0], kLines[1]}));
}

TEST_F(RecoveryFixture, NothingUsableIsSetAsideNeverDeleted) {
    disk.files["C:\\Map\\Track_1.kml.recovering"] = "";
    disk.files["C:\\Map\\Track_2.kml.recovering"] = "QuorvaneTrack 1 2026-13-08 07:30:05\r\n114.0500,22.5000,9\r\n";
    disk.files["C:\\Map\\Track_3.kml.recovering"] = std::string(100, '\0');
    disk.files["C:\\Map\\Track_1.kml.recovering.bad"] = "an earlier one";
    EXPECT_TRUE(Recover().empty());
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_1.kml.recovering.2.bad"), "");
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_1.kml.recovering.bad"), "an earlier one");
    EXPECT_TRUE(disk.files.count("C:\\Map\\Track_2.kml.recovering.bad"));
    EXPECT_TRUE(disk.files.count("C:\\Map\\Track_3.kml.recovering.bad"));
    EXPECT_EQ(disk.List("C:\\Map\\", kRecoverySuffix).size(), 0u);
}

TEST_F(RecoveryFixture, TwoLeftoversInBothPlacesAndNameClashes) {
    disk.files["C:\\Map\\Track_20261208_073005.kml"] = "a track of that name already";
    disk.files["C:\\Map\\Track_20261208_073005_recovered.kml"] = "and a recovered one";
    disk.files["C:\\Map\\Track_20261208_073005.kml.recovering"] = RecoveryFile(kLines);
    disk.files[kPlaces.local + "Track_20261208_080000.kml.recovering"] =
        "QuorvaneTrack 1 2026-12-08 08:00:00\r\n" + kLines[2];
    disk.held.insert("C:\\Map\\Track_20261208_090000.kml.recovering");  // a recording running now
    disk.files["C:\\Map\\Track_20261208_090000.kml.recovering"] = RecoveryFile(kLines);
    EXPECT_EQ(Recover(), (std::vector<std::string>{"C:\\Map\\Track_20261208_073005_recovered_2.kml",
                                                   "C:\\Map\\Track_20261208_080000.kml"}));
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005.kml"), "a track of that name already");
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005_recovered_2.kml"), TrackOf(kLines));
    EXPECT_TRUE(disk.files.count("C:\\Map\\Track_20261208_090000.kml.recovering"));  // left alone

    // Saved elsewhere after all, with more points than its recovery file could take: nothing new is written.
    disk.files.clear();
    disk.held.clear();
    disk.files[kPlaces.local + "Track_20261208_073005.kml"] = TrackOf(kLines);
    disk.files["C:\\Map\\Track_20261208_073005.kml.recovering"] = RecoveryFile({kLines[0]});
    EXPECT_TRUE(Recover().empty());
    EXPECT_EQ(disk.files.size(), 1u);
}

TEST_F(RecoveryFixture, TracksGoToTheFirstPlaceThatTakesThem) {
    const std::string path = "C:\\Map\\Track_20261208_073005.kml";
    EXPECT_EQ(SaveTrackSomewhere(disk, disk, kPlaces, path, "h", "t"), path);
    disk.readOnly = {kPlaces.program};
    EXPECT_EQ(SaveTrackSomewhere(disk, disk, kPlaces, path, "h", "t"), kPlaces.local + "Track_20261208_073005.kml");
    disk.readOnly = {kPlaces.program, kPlaces.local};
    EXPECT_EQ(SaveTrackSomewhere(disk, disk, kPlaces, path, "h", "t"), kPlaces.documents + "Track_20261208_073005.kml");
    disk.readOnly = {kPlaces.program, kPlaces.local, kPlaces.documents};
    EXPECT_EQ(SaveTrackSomewhere(disk, disk, kPlaces, path, "h", "t"), std::nullopt);
    // A recovery that can be written nowhere keeps its recovery file for the next start.
    disk.files = {{"C:\\Map\\Track_20261208_073005.kml.recovering", RecoveryFile(kLines)}};
    EXPECT_TRUE(Recover().empty());
    EXPECT_TRUE(disk.files.count("C:\\Map\\Track_20261208_073005.kml.recovering"));
}

struct RecordingFixture : RecoveryFixture {
    test::Events events;
    NoTrackMap map;
    TrackRecorder recorder{settings, map, disk, clock};
    std::vector<std::string> elsewhere;
    bool recording = false;
    RecordingFixture() {
        settings.AppPath = kPlaces.program;
        clock.now = kStart;
        recorder.KeepSafe(disk, kPlaces, [this](const std::string& p) { elsewhere.push_back(p); });
    }
};

TEST_F(RecordingFixture, EachPointIsInTheRecoveryFileWhichGoesOnceTheTrackIsSaved) {
    recorder.OnTrackSwitch(true, recording);
    const std::string journal = "C:\\Map\\Track_20261208_073005.kml.recovering";
    EXPECT_EQ(recorder.recoveryFile(), journal);
    recorder.AppendTrackPoint(114.05, 22.5, 9);
    recorder.AppendTrackPoint(-114.051, -22.501, -12);
    EXPECT_EQ(disk.files.at(journal), RecoveryFile({kLines[0], kLines[1]}));
    recorder.OnTrackSwitch(false, recording);
    EXPECT_FALSE(disk.files.count(journal));
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005.kml"), TrackOf({kLines[0], kLines[1]}));
    EXPECT_TRUE(elsewhere.empty());
}

TEST_F(RecordingFixture, ARecoveryFileThatCannotBeWrittenIsSaidOnceAndAfterATornPointTheNextStartsAfresh) {
    std::vector<std::string> troubles;
    recorder.KeepSafe(disk, kPlaces, [](const std::string&) {}, [&](const std::string& t) { troubles.push_back(t); });
    recorder.OnTrackSwitch(true, recording);
    const std::string journal = recorder.recoveryFile();
    recorder.AppendTrackPoint(114.05, 22.5, 9);
    disk.tearNext = true;
    recorder.AppendTrackPoint(1, 1, 1);  // half written
    disk.readOnly.insert(kPlaces.program);
    recorder.AppendTrackPoint(2, 2, 2);  // not written at all
    EXPECT_EQ(troubles, std::vector<std::string>{"轨迹恢复文件无法写入：disk full"});
    disk.readOnly.clear();
    recorder.AppendTrackPoint(-114.051, -22.501, -12);
    recorder.AppendTrackPoint(0, 0, 0);
    std::optional<RecoveredTrack> read = ReadRecovery(disk.files.at(journal));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->lines, kLines) << "only the torn and the unwritten points are lost";
    EXPECT_EQ(troubles.size(), 1u);
}

TEST_F(RecordingFixture, TwoRecordingsOfOneSecondAndATrackWrittenMeanwhileEachKeepTheirOwn) {
    // A second program in the same folder starts in the same second.
    TrackRecorder other{settings, map, disk, clock};
    other.KeepSafe(disk, kPlaces, [](const std::string&) {});
    bool otherRecording = false;
    recorder.OnTrackSwitch(true, recording);
    other.OnTrackSwitch(true, otherRecording);
    EXPECT_EQ(recorder.kmlFile(), "C:\\Map\\Track_20261208_073005.kml");
    EXPECT_EQ(other.kmlFile(), "C:\\Map\\Track_20261208_073005_2.kml");
    EXPECT_EQ(other.recoveryFile(), "C:\\Map\\Track_20261208_073005_2.kml.recovering");
    recorder.AppendTrackPoint(114.05, 22.5, 9);
    other.AppendTrackPoint(-114.051, -22.501, -12);
    other.OnTrackSwitch(false, otherRecording);
    // Meanwhile a clock set back: a third writes the first one's name before it stops.
    disk.files["C:\\Map\\Track_20261208_073005.kml"] = "another drive";
    recorder.OnTrackSwitch(false, recording);
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005.kml"), "another drive");
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005_2.kml"), TrackOf({kLines[1]}));
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005_3.kml"), TrackOf({kLines[0]}));
    EXPECT_TRUE(elsewhere.empty());
    EXPECT_EQ(disk.List(kPlaces.program, kRecoverySuffix), std::vector<std::string>{});
}

TEST_F(RecordingFixture, AnUnwritableProgramFolderSendsTheRecoveryFileAndTheTrackElsewhereAndSaysSo) {
    disk.readOnly = {kPlaces.program};
    recorder.OnTrackSwitch(true, recording);
    EXPECT_EQ(recorder.recoveryFile(), kPlaces.local + "Track_20261208_073005.kml.recovering");
    recorder.AppendTrackPoint(114.05, 22.5, 9);
    recorder.OnTrackSwitch(false, recording);
    EXPECT_EQ(elsewhere, (std::vector<std::string>{kPlaces.local + "Track_20261208_073005.kml"}));
    EXPECT_EQ(disk.files.size(), 1u);

    // Nowhere at all: kept in memory and in its recovery file, saved on a later tick once a place is writable.
    disk.readOnly = {kPlaces.program, kPlaces.documents};
    clock.now.hour = 9;
    recorder.OnTrackSwitch(true, recording);  // its recovery file still goes to the local place
    disk.readOnly.insert(kPlaces.local);
    recorder.AppendTrackPoint(114.05, 22.5, 9);
    recorder.OnTrackSwitch(false, recording);
    EXPECT_EQ(recorder.unsavedTracks(), 1u);
    EXPECT_FALSE(recorder.RetryUnsavedTracks());
    disk.readOnly = {kPlaces.local, kPlaces.documents};
    EXPECT_TRUE(recorder.RetryUnsavedTracks());
    EXPECT_TRUE(disk.files.count("C:\\Map\\Track_20261208_093005.kml"));
    EXPECT_FALSE(disk.files.count(kPlaces.local + "Track_20261208_093005.kml.recovering"));
}

TEST_F(RecordingFixture, ClosingWithNowhereToWriteLeavesTheRecoveryFileForTheNextStart) {
    recorder.OnTrackSwitch(true, recording);
    recorder.AppendTrackPoint(114.05, 22.5, 9);
    disk.readOnly = {kPlaces.program, kPlaces.local, kPlaces.documents};
    recorder.OnPanelClose(true);
    EXPECT_TRUE(disk.held.empty());  // let go of, so the next start can take it
    disk.readOnly.clear();
    EXPECT_EQ(Recover(), (std::vector<std::string>{"C:\\Map\\Track_20261208_073005.kml"}));
    EXPECT_EQ(disk.files.at("C:\\Map\\Track_20261208_073005.kml"), TrackOf({kLines[0]}));
}

// The file system's steps, in order, and the recovery file's removal among them.
class StepLog final : public FileSteps, public RecoveryDisk {
public:
    explicit StepLog(MemoryDisk& disk) : disk_(disk) {}
    bool Write(const std::string& path, std::initializer_list<std::string_view> parts) override {
        steps.push_back("write " + path);
        std::string bytes;
        for (std::string_view p : parts) bytes += p;
        disk_.files[path] = bytes;
        return true;
    }
    bool Flush(const std::string& path) override {
        steps.push_back("flush " + path);
        return !flushFails;
    }
    bool Replace(const std::string& from, const std::string& to) override {
        steps.push_back("replace " + from + " " + to);
        disk_.files[to] = disk_.files[from];
        disk_.files.erase(from);
        return true;
    }
    bool FlushFolderOf(const std::string& path) override {
        steps.push_back("flush the folder of " + path);
        return true;
    }
    void Discard(const std::string& path) override {
        steps.push_back("discard " + path);
        disk_.files.erase(path);
    }
    // RecoveryDisk: the memory disk's, the removal logged.
    std::unique_ptr<Journal> CreateJournal(const std::string& path, std::string_view first) override {
        return disk_.CreateJournal(path, first);
    }
    std::vector<std::string> List(const std::string& folder, std::string_view suffix) override {
        return disk_.List(folder, suffix);
    }
    std::optional<std::string> ReadUnlessHeld(const std::string& path) override { return disk_.ReadUnlessHeld(path); }
    bool Exists(const std::string& path) override { return disk_.Exists(path); }
    bool Remove(const std::string& path) override {
        steps.push_back("remove " + path);
        return disk_.Remove(path);
    }
    bool Rename(const std::string& from, const std::string& to) override { return disk_.Rename(from, to); }
    bool MakeFolder(const std::string& path) override { return disk_.MakeFolder(path); }

    std::vector<std::string> steps;
    bool flushFails = false;

private:
    MemoryDisk& disk_;
};

TEST_F(RecoveryFixture, TheRecoveryFileGoesOnlyOnceTheSavedTrackIsOnTheDisk) {
    const std::string track = "C:\\Map\\Track_20261208_073005.kml", journal = track + ".recovering";
    const std::vector<std::string> durable = {"write " + track + ".new", "flush " + track + ".new",
                                              "replace " + track + ".new " + track, "flush the folder of " + track,
                                              "remove " + journal};
    StepLog steps(disk);
    DiskTrackFiles files(steps);
    NoTrackMap map;
    settings.AppPath = kPlaces.program;
    clock.now = kStart;
    {
        // Stopping a recording.
        TrackRecorder recorder{settings, map, files, clock};
        recorder.KeepSafe(steps, kPlaces, [](const std::string&) {});
        bool recording = false;
        recorder.OnTrackSwitch(true, recording);
        recorder.AppendTrackPoint(114.05, 22.5, 9);
        recorder.OnTrackSwitch(false, recording);
        EXPECT_EQ(steps.steps, durable);
    }
    // Recovering at start.
    steps.steps.clear();
    disk.files.erase(track);
    disk.files[journal] = RecoveryFile(kLines);
    EXPECT_EQ(RecoverTracks(files, steps, kPlaces, log), std::vector<std::string>{track});
    EXPECT_EQ(steps.steps, durable);

    // A track whose contents could not be made durable is not put in place, and its recovery file stays.
    steps.steps.clear();
    steps.flushFails = true;
    disk.files.erase(track);
    disk.files[journal] = RecoveryFile(kLines);
    RecoverTracks(files, steps, {kPlaces.program, "", ""}, log);
    EXPECT_EQ(std::vector<std::string>(steps.steps.begin(), steps.steps.begin() + 3),
              (std::vector<std::string>{"write " + track + ".new", "flush " + track + ".new",
                                        "discard " + track + ".new"}));
    EXPECT_TRUE(disk.files.count(journal));
    EXPECT_FALSE(disk.files.count(track));
}

}  // namespace
}  // namespace qv

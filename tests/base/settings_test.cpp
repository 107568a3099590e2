#include <gtest/gtest.h>

#include "base/file_io.h"
#include "base/profile.h"
#include "base/settings.h"
#include "base/text_codec.h"
#include "base/config_fixtures.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::ConfigFixture;
using test::TempDir;

AppSettings LoadFrom(const TempDir& dir, const std::optional<std::string>& config, AppSettings settings = {}) {
    if (config) dir.Write("Config.ini", *config);
    PortableProfileReader reader;
    LoadSettings(settings, dir.path(), reader);
    return settings;
}

AppSettings LoadFixture(const std::string& name) {
    for (const ConfigFixture& f : test::ConfigFixtures())
        if (f.name == name) {
            TempDir dir;
            return LoadFrom(dir, f.bytes);
        }
    ADD_FAILURE() << "no fixture " << name;
    return {};
}

TEST(LoadSettings, DefaultsWithoutAFile) {
    TempDir dir;
    AppSettings s = LoadFrom(dir, std::nullopt);
    EXPECT_EQ(s.EyeHigh, 5000);
    EXPECT_EQ(s.TimeZone, 8);
    EXPECT_EQ(s.PrecisionInTrack, 0.0005);
    EXPECT_EQ(s.GpsPort, 0);
    EXPECT_EQ(s.GpsSetting, "");
    EXPECT_EQ(s.TrackTempFile, "");
    EXPECT_EQ(s.AppName, "");
    EXPECT_FALSE(s.WriteLog);
    EXPECT_EQ(s.GpsTalkers, "");
    EXPECT_FALSE(s.OpenAtStart);
    EXPECT_EQ(s.AppPath, dir.path() + kPathSeparator);
    EXPECT_EQ(s.ConfigFile, dir.path() + kPathSeparator + "Config.ini");
    EXPECT_EQ(s.LogFile, dir.path() + kPathSeparator + "Log.txt");
}

TEST(LoadSettings, FolderAlreadyEndingInASeparatorGetsNoSecond) {
    class NoFile final : public ProfileReader {
    public:
        std::string ReadString(const std::string&, std::string_view, std::string_view, std::string_view def,
                               size_t) const override {
            return std::string(def);
        }
    } reader;
    AppSettings s;
    std::string root = std::string(kPathSeparator == '\\' ? "C:" : "") + kPathSeparator;
    LoadSettings(s, root, reader);
    EXPECT_EQ(s.AppPath, root);
    EXPECT_EQ(s.ConfigFile, root + "Config.ini");
}

TEST(LoadSettings, ReadsEveryKey) {
    for (const char* name : {"every key, CR LF", "every key, LF", "every key, CR alone"}) {
        SCOPED_TRACE(name);
        AppSettings s = LoadFixture(name);
        EXPECT_EQ(s.AppName, "Google Earth");
        EXPECT_EQ(s.WinMapName, "Map");
        EXPECT_EQ(s.EyeHigh, 1200);
        EXPECT_EQ(s.GpsPort, 3);
        EXPECT_EQ(s.GpsSetting, "4800,n,8,1");
        EXPECT_EQ(s.TimeZone, -5);
        EXPECT_EQ(s.TrackTempFile, "C:\\Temp\\track.kml");
        EXPECT_EQ(s.PrecisionInTrack, 0.001);
        EXPECT_TRUE(s.WriteLog);
        EXPECT_EQ(s.GpsTalkers, "GP, gn");
        EXPECT_TRUE(s.OpenAtStart);
    }
}

struct ValueCase {
    const char* value;
    int32_t eyeHigh;
    int32_t timeZone;
    double precision;
    bool writeLog;
};

TEST(LoadSettings, ConvertsEachValueOrFallsBack) {
    const ValueCase cases[] = {
        {"1", 1, 1, 1.0, true},
        {" 1 ", 1, 1, 1.0, true},
        {"01", 1, 1, 1.0, false},
        {"2.5", 2, 2, 2.5, false},
        {"3.5", 4, 4, 3.5, false},
        {"-100", -100, -100, -100.0, false},
        {"-5", -5, -5, -5.0, false},
        {"99999999999", 5000, 8, 99999999999.0, false},
        {"abc", 5000, 8, 0.0005, false},
        {"yes", 5000, 8, 0.0005, false},
        {"true", 5000, 8, 0.0005, false},
        {"", 5000, 8, 0.0005, false},
        {"0", 0, 0, 0.0, false},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.value);
        TempDir dir;
        std::string v = c.value;
        AppSettings s = LoadFrom(dir, "[GE]\r\nEyeHigh=" + v + "\r\n[GPS]\r\nTimeZone=" + v + "\r\n[Track]\r\n"
                                      "PrecisionInTrack=" + v + "\r\n[Log]\r\nWriteLog=" + v + "\r\n");
        EXPECT_EQ(s.EyeHigh, c.eyeHigh);
        EXPECT_EQ(s.TimeZone, c.timeZone);
        EXPECT_EQ(s.PrecisionInTrack, c.precision);
        EXPECT_EQ(s.WriteLog, c.writeLog);
    }
}

TEST(LoadSettings, PortKeepsItsLastGoodValue) {
    TempDir dir;
    AppSettings s = LoadFrom(dir, "[GPS]\r\nPort=COM3\r\n");
    EXPECT_EQ(s.GpsPort, 0);
    s = LoadFrom(dir, "[GPS]\r\nPort=4\r\n", s);
    EXPECT_EQ(s.GpsPort, 4);
    s = LoadFrom(dir, "[GPS]\r\nPort=COM3\r\n", s);
    EXPECT_EQ(s.GpsPort, 4);
    s = LoadFrom(dir, "[GE]\r\n", s);  // a missing key keeps it too
    EXPECT_EQ(s.GpsPort, 4);
}

TEST(LoadSettings, ASecondLoadUndoesZooming) {
    TempDir dir;
    AppSettings s = LoadFrom(dir, "[GE]\r\nEyeHigh=3000\r\n[Log]\r\nWriteLog=1\r\n");
    s.EyeHigh = 400;
    s = LoadFrom(dir, "[GE]\r\nEyeHigh=3000\r\n", s);
    EXPECT_EQ(s.EyeHigh, 3000);
    EXPECT_FALSE(s.WriteLog);
}

TEST(LoadSettings, TheReceiversKeysAloneLeaveTheRestOfThisRun) {
    TempDir dir;
    AppSettings s = LoadFrom(dir, "[GE]\r\nEyeHigh=3000\r\n[GPS]\r\nPort=3\r\n");
    s.EyeHigh = 400;  // zoomed in
    s.WriteLog = true;
    dir.Write("Config.ini", "[GE]\r\nEyeHigh=3000\r\n[GPS]\r\nPort=7\r\nSetting=9600,n,8,1\r\nTalkers=GP,GN\r\n"
                            "TimeZone=2\r\n[Log]\r\nWriteLog=0\r\n");
    PortableProfileReader reader;
    LoadReceiverSettings(s, reader);
    EXPECT_EQ(s.GpsPort, 7);
    EXPECT_EQ(s.GpsSetting, "9600,n,8,1");
    EXPECT_EQ(s.GpsTalkers, "GP,GN");
    EXPECT_EQ(s.EyeHigh, 400);
    EXPECT_EQ(s.TimeZone, 8);
    EXPECT_TRUE(s.WriteLog);
}

TEST(LoadSettings, CutsLongValuesAt254Bytes) {
    AppSettings s = LoadFixture("300-byte values");
    EXPECT_EQ(s.AppName, test::Repeat("0123456789", 30).substr(0, 254));
    EXPECT_EQ(s.WinMapName, test::Repeat("abcdefghij", 30).substr(0, 254));
    // The closing quote no longer fits, so the last character kept goes instead.
    EXPECT_EQ(s.TrackTempFile, test::Repeat("x", 253));
}

TEST(LoadSettings, TakesChineseValuesWhole) {
    AppSettings s = LoadFixture("Chinese values");
    EXPECT_EQ(s.AppName, "中文");
    EXPECT_EQ(s.WinMapName, "中 文");
    EXPECT_EQ(s.TrackTempFile, "D:\\中文\\track.kml");
    s = LoadFixture("300 bytes of Chinese");
    std::string expected;
    for (int i = 0; i < 127; ++i) expected += i % 2 ? "文" : "中";
    EXPECT_EQ(s.AppName, expected);  // 254 bytes: whole characters
    expected = "a";
    for (int i = 0; i < 126; ++i) expected += "中";
    EXPECT_EQ(s.WinMapName, expected);  // 253 bytes: half a character is never kept
}

TEST(LoadSettings, ReadsOnlyTheFirstSectionAndKeyOfAName) {
    AppSettings s = LoadFixture("duplicate sections");
    EXPECT_EQ(s.AppName, "first");
    EXPECT_EQ(s.EyeHigh, 5000);
    EXPECT_EQ(s.GpsPort, 2);
    EXPECT_EQ(s.TimeZone, 8);
    s = LoadFixture("duplicate keys");
    EXPECT_EQ(s.EyeHigh, 100);
    EXPECT_EQ(s.GpsPort, 5);
}

TEST(LoadSettings, NamesIgnoreLetterCaseAndValuesLoseQuotesAndBlanks) {
    AppSettings s = LoadFixture("letter case");
    EXPECT_EQ(s.EyeHigh, 4321);
    EXPECT_EQ(s.AppName, "Upper");
    EXPECT_EQ(s.TimeZone, 9);
    EXPECT_TRUE(s.WriteLog);
    s = LoadFixture("quoted values");
    EXPECT_EQ(s.AppName, "quoted text");
    EXPECT_EQ(s.WinMapName, "single");
    EXPECT_EQ(s.EyeHigh, 77);
    EXPECT_EQ(s.GpsSetting, "\"4800,n,8,1");
    EXPECT_EQ(s.TimeZone, 8);  // a lone quote is no number
    EXPECT_EQ(s.TrackTempFile, "a\"b");
    EXPECT_EQ(s.PrecisionInTrack, 0.01);
    EXPECT_TRUE(s.WriteLog);
    s = LoadFixture("blanks");
    EXPECT_EQ(s.AppName, "two words");
    EXPECT_EQ(s.EyeHigh, 2);
    EXPECT_EQ(s.TimeZone, 4);
    EXPECT_EQ(s.GpsPort, 7);
    EXPECT_TRUE(s.WriteLog);
}

TEST(LoadSettings, CommentsAndDamagedFilesChangeNothingButTheValues) {
    AppSettings s = LoadFixture("comments");
    EXPECT_EQ(s.EyeHigh, 5000);  // "333 ; metres" is not a number: comments only start lines
    EXPECT_FALSE(s.WriteLog);
    s = LoadFixture("binary garbage");
    EXPECT_EQ(s.EyeHigh, 4000);
    EXPECT_TRUE(s.WriteLog);
    s = LoadFixture("NUL inside a value");
    EXPECT_EQ(s.AppName, "ab");
    EXPECT_EQ(s.EyeHigh, 12);
    s = LoadFixture("key without equals sign");
    EXPECT_EQ(s.EyeHigh, 5000);
    EXPECT_EQ(s.PrecisionInTrack, 0.0005);
}

TEST(LoadSettings, HugeFileGivesItsValues) {
    TempDir dir;
    std::string big = "[Other]\r\n";
    while (big.size() < 10 * 1024 * 1024) big += "Filler=" + std::string(100, 'f') + "\r\n";
    AppSettings s = LoadFrom(dir, big + "[GE]\r\nEyeHigh=1234\r\n");
    EXPECT_EQ(s.EyeHigh, 1234);
    EXPECT_EQ(s.TimeZone, 8);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The Config.ini a release ships: every key the program reads, with its default or a typical value.
TEST(ShippedConfig, NamesEveryKeyTheProgramReadsWithUsableValues) {
    const std::string file = std::string(QV_SOURCE_DIR) + "/res/Config.ini";
    PortableProfileReader reader;
    for (const SettingEntry& entry : SettingsTable())
        EXPECT_NE(reader.ReadString(file, entry.section, entry.key, "\x01missing", kSettingBufferSize), "\x01missing")
            << entry.section << " " << entry.key;
    AppSettings s;
    LoadSettingsFrom(s, "C:\\Quorvane", file, reader);
    EXPECT_EQ(s.EyeHigh, 5000);
    EXPECT_EQ(s.GpsPort, 0);  // looks for the receiver itself
    EXPECT_EQ(s.GpsSetting, "");
    EXPECT_EQ(s.TimeZone, 8);
    EXPECT_EQ(s.GpsTalkers, "GP");
    EXPECT_FALSE(s.OpenAtStart);
    EXPECT_EQ(s.TrackTempFile, "");
    EXPECT_EQ(s.PrecisionInTrack, 0.0005);
    EXPECT_TRUE(s.WriteLog);
}

TEST(SettingsWrite, OnlyTheChangedKeysChangeInTheShippedFileAndReadBackAsSet) {
    const std::string file = std::string(QV_SOURCE_DIR) + "/res/Config.ini";
    const std::string shipped = *ReadWholeFile(file);
    PortableProfileReader reader;
    AppSettings before;
    LoadSettingsFrom(before, "C:\\Quorvane", file, reader);
    AppSettings after = before;
    after.GpsPort = 3;
    after.GpsTalkers = "GP,GN";
    after.EyeHigh = 1200;
    after.OpenAtStart = true;
    after.PrecisionInTrack = 0.0001;
    after.TrackTempFile = "D:\\\xE8\xBD\xA8\xE8\xBF\xB9\\\xE5\xBD\x93\xE5\x89\x8D.kml";  // D:\轨迹\当前.kml
    after.TileDatum = "GCJ02";
    std::vector<ProfileChange> changes = ChangedSettings(before, after);
    ASSERT_EQ(changes.size(), 7u);
    EXPECT_FALSE(SettingTextTrouble(after.TrackTempFile));
    std::optional<std::string> edited = EditProfileText(shipped, changes);
    ASSERT_TRUE(edited);

    // Line by line, the file differs in those seven lines only, each its key's.
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            out.push_back(text.substr(at, end - at));
        return out;
    };
    std::vector<std::string> a = lines(shipped), b = lines(*edited);
    ASSERT_EQ(a.size(), b.size());
    std::vector<std::string> differing;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) differing.push_back(b[i].substr(0, b[i].find('=')));
    EXPECT_EQ(differing, (std::vector<std::string>{"EyeHigh", "Port", "Talkers", "OpenAtStart", "TrackTempFile",
                                                   "PrecisionInTrack", "TileDatum"}));

    TempDir dir;
    dir.Write("Config.ini", *edited);
    AppSettings read;
    LoadSettings(read, dir.path(), reader);
    EXPECT_EQ(read.GpsPort, 3);
    EXPECT_EQ(read.GpsTalkers, "GP,GN");
    EXPECT_EQ(read.EyeHigh, 1200);
    EXPECT_TRUE(read.OpenAtStart);
    EXPECT_EQ(read.PrecisionInTrack, 0.0001);
    EXPECT_EQ(read.TrackTempFile, after.TrackTempFile);
    EXPECT_EQ(read.TileDatum, "GCJ02");
    EXPECT_TRUE(ChangedSettings(after, after).empty());

    EXPECT_TRUE(SettingTextTrouble("C:\\\xED\x95\x9C.kml")) << "Korean: not in code page 936";
    EXPECT_TRUE(SettingTextTrouble(std::string(255, 'a')));
}

// The system's steps, one of which can be made to fail.
class FailingSteps final : public FileSteps {
public:
    explicit FailingSteps(std::string failOn) : failOn_(std::move(failOn)) {}
    bool Write(const std::string& path, std::initializer_list<std::string_view> parts) override {
        return !Fails("write " + path) && SystemFileSteps().Write(path, parts);
    }
    bool Flush(const std::string& path) override { return !Fails("flush " + path) && SystemFileSteps().Flush(path); }
    bool Replace(const std::string& from, const std::string& to) override {
        return !Fails("replace " + to) && SystemFileSteps().Replace(from, to);
    }
    bool FlushFolderOf(const std::string& path) override { return SystemFileSteps().FlushFolderOf(path); }
    void Discard(const std::string& path) override { SystemFileSteps().Discard(path); }

private:
    bool Fails(const std::string& step) const { return step == failOn_; }
    std::string failOn_;
};

TEST(SettingsWrite, ConfigIsReplacedWholeWithThePreviousKeptOrLeftAsItWas) {
    // Each step of the two replacements failing in turn, then none.
    for (const char* step : {"write .bak.new", "flush .bak.new", "replace .bak", "write .new", "flush .new",
                             "replace ", ""}) {
        SCOPED_TRACE(step);
        TempDir dir;
        dir.Write("Config.ini", "[GE]\r\nEyeHigh=5000\r\n");
        const std::string path = dir.File("Config.ini");
        std::string verb(step), suffix;
        if (size_t space = verb.find(' '); space != std::string::npos) suffix = verb.substr(space + 1), verb.resize(space);
        FailingSteps steps(verb.empty() ? "" : verb + " " + path + suffix);
        bool saved = SaveConfigText(path, "[GE]\r\nEyeHigh=1200\r\n", steps);
        EXPECT_EQ(saved, verb.empty());
        EXPECT_EQ(ReadWholeFile(path), saved ? "[GE]\r\nEyeHigh=1200\r\n" : "[GE]\r\nEyeHigh=5000\r\n");
        if (saved) {
            EXPECT_EQ(ReadWholeFile(path + ".bak"), "[GE]\r\nEyeHigh=5000\r\n");
        }
        EXPECT_FALSE(FileExists(path + ".new")) << "no half-made file is left";
        EXPECT_FALSE(FileExists(path + ".bak.new"));
    }
    TempDir dir;  // no Config.ini yet: it is made, and there is no previous version to keep
    EXPECT_TRUE(SaveConfigText(dir.File("Config.ini"), "[GE]\r\n"));
    EXPECT_FALSE(FileExists(dir.File("Config.ini.bak")));
}


TEST(SettingsWrite, ChangesGoIntoTheFileAsItIsEncodedOrIntoTheShippedOneWhenThereIsNone) {
    const std::vector<ProfileChange> changes = {{"GE", "EyeHigh", "3000"}, {"Track", "TrackTempFile", "D:\\\xB9\xEC.kml"}};
    const std::string shipped = "; \xC9\xE8\xD6\xC3\r\n[GE]\r\nEyeHigh=5000\r\n";  // "设置" in GBK
    const std::string edited = "; \xC9\xE8\xD6\xC3\r\n[GE]\r\nEyeHigh=3000\r\n\r\n[Track]\r\nTrackTempFile=D:\\\xB9\xEC.kml\r\n";
    {
        TempDir dir;  // none there: the shipped file with the changes
        EXPECT_EQ(SaveSettingsChanges(dir.File("Config.ini"), changes, shipped, Utf8Config::ask), ConfigSave::saved);
        EXPECT_EQ(ReadWholeFile(dir.File("Config.ini")), edited);
    }
    // A newer Notepad's UTF-8: the user is asked first; then GBK, or UTF-8 kept, the rest of the file unchanged.
    const std::string utf8 = "\xEF\xBB\xBF" + AnsiToUtf8(shipped);
    for (Utf8Config answer : {Utf8Config::ask, Utf8Config::toGbk, Utf8Config::keepUtf8}) {
        TempDir dir;
        dir.Write("Config.ini", utf8);
        ConfigSave r = SaveSettingsChanges(dir.File("Config.ini"), changes, shipped, answer);
        EXPECT_EQ(r, answer == Utf8Config::ask ? ConfigSave::asksForGbk : ConfigSave::saved);
        EXPECT_EQ(ReadWholeFile(dir.File("Config.ini")), answer == Utf8Config::ask     ? utf8
                                                         : answer == Utf8Config::toGbk ? edited
                                                                                       : "\xEF\xBB\xBF" + AnsiToUtf8(edited));
    }
    {
        TempDir dir;  // Korean in a UTF-8 file: GBK cannot hold it, so the file is not touched
        const std::string korean = "\xEF\xBB\xBF; \xED\x95\x9C\r\n[GE]\r\nEyeHigh=5000\r\n";
        dir.Write("Config.ini", korean);
        EXPECT_EQ(SaveSettingsChanges(dir.File("Config.ini"), changes, shipped, Utf8Config::toGbk), ConfigSave::notGbk);
        EXPECT_EQ(ReadWholeFile(dir.File("Config.ini")), korean);
    }
    {
        TempDir dir;  // a value the file cannot hold
        dir.Write("Config.ini", shipped);
        EXPECT_EQ(SaveSettingsChanges(dir.File("Config.ini"), {{"GE", "EyeHigh", std::string(300, '1')}}, shipped,
                                      Utf8Config::ask),
                  ConfigSave::refused);
        EXPECT_EQ(ReadWholeFile(dir.File("Config.ini")), shipped);
    }
}

}  // namespace
}  // namespace qv

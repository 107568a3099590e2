// The portable reader against the real profile API, on the same files.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <vector>

#include "base/profile.h"
#include "base/settings.h"
#include "base/config_fixtures.h"
#include "base/file_io.h"
#include "base/run_log.h"
#include "base/text_codec.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

void ExpectSameSettings(const AppSettings& a, const AppSettings& b) {
    EXPECT_EQ(a.AppPath, b.AppPath);
    EXPECT_EQ(a.ConfigFile, b.ConfigFile);
    EXPECT_EQ(a.LogFile, b.LogFile);
    EXPECT_EQ(a.AppName, b.AppName);
    EXPECT_EQ(a.WinMapName, b.WinMapName);
    EXPECT_EQ(a.EyeHigh, b.EyeHigh);
    EXPECT_EQ(a.GpsPort, b.GpsPort);
    EXPECT_EQ(a.GpsSetting, b.GpsSetting);
    EXPECT_EQ(a.TimeZone, b.TimeZone);
    EXPECT_EQ(a.TrackTempFile, b.TrackTempFile);
    EXPECT_EQ(a.PrecisionInTrack, b.PrecisionInTrack);
    EXPECT_EQ(a.WriteLog, b.WriteLog);
}

// What GetPrivateProfileStringA itself answers, the way the program asked before.
std::string ReadWithAnsiCall(const std::string& path, const SettingEntry& e, size_t size) {
    std::vector<char> buffer(size, '\0');
    DWORD n = GetPrivateProfileStringA(std::string(e.section).c_str(), std::string(e.key).c_str(),
                                       std::string(e.lookupDefault).c_str(), buffer.data(), static_cast<DWORD>(size),
                                       Utf8ToAnsi(path).c_str());
    size_t len = strnlen(buffer.data(), size);
    return std::string(buffer.data(), n < len ? n : len);
}

TEST(ProfileReaders, PortableReaderAnswersAsTheWindowsApi) {
    PortableProfileReader portable;
    Win32ProfileReader windows;
    for (const test::ConfigFixture& fixture : test::ConfigFixtures()) {
        SCOPED_TRACE(fixture.name);
        test::TempDir dir;
        if (fixture.bytes) dir.Write("Config.ini", *fixture.bytes);
        std::string path = dir.File("Config.ini");
        for (const SettingEntry& e : SettingsTable()) {
            for (size_t size : {kSettingBufferSize, size_t{4}}) {
                std::string ours = windows.ReadString(path, e.section, e.key, e.lookupDefault, size);
                EXPECT_EQ(portable.ReadString(path, e.section, e.key, e.lookupDefault, size), ours)
                    << e.section << "/" << e.key << " buffer " << size;
                EXPECT_EQ(ReadWithAnsiCall(path, e, size), ours) << e.section << "/" << e.key << " buffer " << size;
            }
        }
        AppSettings fromPortable, fromWindows;
        fromPortable.GpsPort = fromWindows.GpsPort = 11;
        LoadSettings(fromPortable, dir.path(), portable);
        LoadSettings(fromWindows, dir.path(), windows);
        ExpectSameSettings(fromPortable, fromWindows);
    }
}

TEST(ProfileReaders, AFolderNamedOutsideTheAnsiCodePageStillFindsItsConfig) {
    test::TempDir dir;
    std::string folder = dir.path() + "\\\xED\x95\x9C\xEA\xB8\x80";  // Korean, which code page 936 cannot write
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::path(Utf8ToWide(folder))));
    std::string config = folder + "\\Config.ini";
    {
        std::FILE* f = _wfopen(Utf8ToWide(config).c_str(), L"wb");
        ASSERT_TRUE(f);
        std::fputs("[GE]\r\nEyeHigh=1234\r\nAppName=\xB5\xD8\xC7\xF2\r\n", f);  // 地球 in GBK
        std::fclose(f);
    }
    Win32ProfileReader windows;
    EXPECT_EQ(windows.ReadString(config, "GE", "EyeHigh", "", kSettingBufferSize), "1234");
    AppSettings settings;
    LoadSettings(settings, folder, windows);
    EXPECT_EQ(settings.EyeHigh, 1234);
    EXPECT_EQ(settings.AppName, "\xE5\x9C\xB0\xE7\x90\x83");

    // Log.txt and a track file beside it are written there too.
    settings.WriteLog = true;
    test::FakeClock clock;
    RunLog(settings, clock).LogLine("1. Start Quorvane & Init Params");
    EXPECT_NE(ReadWholeFile(settings.LogFile).value_or("").find("1. Start Quorvane"), std::string::npos);
    std::string track = folder + "\\Track_20261208_073005.kml";
    EXPECT_TRUE(ReplaceFileWith(track, {"<kml/>", "\r\n"}));
    EXPECT_EQ(ReadWholeFile(track), "<kml/>\r\n");
}

TEST(ProfileEditor, WhatItWritesTheWindowsApiReadsBackOnEveryFixture) {
    // Values of every kind the settings take: numbers, lists, GBK paths, blanks and quotes at the ends, ';' and '='.
    const std::vector<std::string> values = {"3", "GP,GN,BD", "D:\\\xB9\xEC\xBC\xA3\\\xB5\xB1\xC7\xB0.kml",
                                             " 4800,n,8,1 ", "'quoted'", "&copy; <a href=\"x\">a=b</a>", "",
                                             std::string(254, '7')};
    Win32ProfileReader windows;
    for (const test::ConfigFixture& fixture : test::ConfigFixtures()) {
        if (fixture.bytes && (fixture.bytes->rfind("\xEF\xBB\xBF", 0) == 0 || fixture.bytes->rfind("\xFF\xFE", 0) == 0))
            continue;  // Unicode files are turned into ANSI before they are edited
        SCOPED_TRACE(fixture.name);
        std::vector<ProfileChange> changes;
        size_t n = 0;
        for (const SettingEntry& e : SettingsTable())
            changes.push_back({std::string(e.section), std::string(e.key), values[n++ % values.size()]});
        std::optional<std::string> edited = EditProfileText(fixture.bytes.value_or(""), changes);
        ASSERT_TRUE(edited);
        test::TempDir dir;
        dir.Write("Config.ini", *edited);
        for (const ProfileChange& c : changes)
            EXPECT_EQ(windows.ReadString(dir.File("Config.ini"), c.section, c.key, "\x01", kSettingBufferSize), c.value)
                << c.section << "/" << c.key;
    }
}

}  // namespace
}  // namespace qv

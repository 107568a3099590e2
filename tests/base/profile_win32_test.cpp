// The portable reader against the real GetPrivateProfileStringA, on the same files.
#include <gtest/gtest.h>

#include "base/profile.h"
#include "base/settings.h"
#include "base/config_fixtures.h"
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
                EXPECT_EQ(portable.ReadString(path, e.section, e.key, e.lookupDefault, size),
                          windows.ReadString(path, e.section, e.key, e.lookupDefault, size))
                    << e.section << "/" << e.key << " buffer " << size;
            }
        }
        AppSettings fromPortable, fromWindows;
        fromPortable.GpsPort = fromWindows.GpsPort = 11;
        LoadSettings(fromPortable, dir.path(), portable);
        LoadSettings(fromWindows, dir.path(), windows);
        ExpectSameSettings(fromPortable, fromWindows);
    }
}

}  // namespace
}  // namespace qv

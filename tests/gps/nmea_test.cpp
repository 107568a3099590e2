#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "gps/nmea.h"

namespace qv {
namespace {

// Appends the right checksum, as a receiver does.
std::string WithChecksum(const std::string& body) { return NmeaSentence(body.substr(1)); }

// A fix whose every field is set, so that any write shows.
GpsFix Marked() {
    GpsFix f;
    f.GPSState = 7;
    f.Longitude = 1.5;
    f.Latitude = 2.5;
    f.Speed = 3.5;
    f.Azimuth = 4.5;
    f.High = 5;
    f.FixTime = 0.25;
    f.Pdop = 6.5f;
    return f;
}

void ExpectSame(const GpsFix& a, const GpsFix& b) {
    EXPECT_EQ(a.GPSState, b.GPSState);
    EXPECT_EQ(a.Longitude, b.Longitude);
    EXPECT_EQ(a.Latitude, b.Latitude);
    EXPECT_EQ(a.Speed, b.Speed);
    EXPECT_EQ(a.Azimuth, b.Azimuth);
    EXPECT_EQ(a.High, b.High);
    EXPECT_EQ(a.FixTime, b.FixTime);
    EXPECT_EQ(a.Pdop, b.Pdop);
}

double Hms(int h, int m, int s) { return (h * 3600 + m * 60 + s) / 86400.0; }

TEST(ParseNmea, DecodesTheWorkedExample) {
    GpsFix fix = Marked();
    NmeaOutcome r = ParseNmea("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", 8, fix);
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(fix.GPSState, 1);
    EXPECT_DOUBLE_EQ(fix.FixTime, Hms(20, 35, 19));
    EXPECT_DOUBLE_EQ(fix.Latitude, 48.1173);
    EXPECT_DOUBLE_EQ(fix.Longitude, 11.5167);
    EXPECT_DOUBLE_EQ(fix.Speed, 22.4 * 1.8519984);
    EXPECT_NEAR(fix.Speed, 41.48476416, 1e-9);
    EXPECT_DOUBLE_EQ(fix.Azimuth, 84.4);
    EXPECT_EQ(fix.High, 5);  // RMC leaves altitude and precision alone
    EXPECT_EQ(fix.Pdop, 6.5f);

    r = ParseNmea(WithChecksum("$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,200.0,230394,003.1,W"), 8, fix);
    EXPECT_EQ(r.result, 1);
    EXPECT_DOUBLE_EQ(fix.Latitude, -48.1173);
    EXPECT_DOUBLE_EQ(fix.Longitude, -11.5167);
    EXPECT_DOUBLE_EQ(fix.Azimuth, -160);

    r = ParseNmea("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 8, fix);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(fix.High, 545);
    r = ParseNmea(WithChecksum("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"), 8, fix);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(fix.Pdop, 2.5f);
}

struct RmcCase {
    const char* name;
    std::string fields;  // after "$GPRMC,"
    int32_t timeZone;
    int result;
    double time, latitude, longitude, azimuth;
};

TEST(ParseNmea, RmcValues) {
    const RmcCase cases[] = {
        {"time zone forward over midnight", "200000,A,0000.000,N,00000.000,E,0,0,,", 8, 1, Hms(4, 0, 0), 0, 0, 0},
        {"time zone backward over midnight", "020000,A,0000.000,N,00000.000,E,0,0,,", -5, 1, Hms(21, 0, 0), 0, 0, 0},
        {"fraction of a second dropped", "235959.999,A,0000.000,N,00000.000,E,0,0,,", 0, 1, Hms(23, 59, 59), 0, 0, 0},
        {"minutes rounding up a degree", "000000,A,2359.9990,N,17959.9999,W,0,0,,", 0, 1, 0, 24.0, -180.0, 0},
        {"course exactly 180 stays", "000000,A,0000.000,N,00000.000,E,0,180.0,,", 0, 1, 0, 0, 0, 180},
        {"course 180.1", "000000,A,0000.000,N,00000.000,E,0,180.1,,", 0, 1, 0, 0, 0, 180.1 - 360},
        {"course 359.9", "000000,A,0000.000,N,00000.000,E,0,359.9,,", 0, 1, 0, 0, 0, 359.9 - 360},
        {"empty course is 0", "000000,A,0000.000,N,00000.000,E,1.0,,,", 0, 1, 0, 0, 0, 0},
        // Out of any real range (seen from the fuzzer): whole turns are dropped.
        {"course 6202", "000000,A,0000.000,N,00000.000,E,0,6202,,", 0, 1, 0, 0, 0, 82},
        {"course 540.5", "000000,A,0000.000,N,00000.000,E,0,540.5,,", 0, 1, 0, 0, 0, -179.5},
        {"course -190", "000000,A,0000.000,N,00000.000,E,0,-190,,", 0, 1, 0, 0, 0, 170},
        {"course -180", "000000,A,0000.000,N,00000.000,E,0,-180,,", 0, 1, 0, 0, 0, 180},
        {"course -720.25", "000000,A,0000.000,N,00000.000,E,0,-720.25,,", 0, 1, 0, 0, 0, -0.25},
        {"void fix decoded alike", "101010,V,3345.678,S,15112.345,E,0.5,90,,", 0, -1, Hms(10, 10, 10),
         -(33 + std::nearbyint(45.678 / 60 * 10000) / 10000), 151 + std::nearbyint(12.345 / 60 * 10000) / 10000,
         90},
        {"five-decimal minutes", "000000,A,5546.83315,N,02338.28020,E,0,0,,", 0, 1, 0,
         55 + std::nearbyint(46.83315 / 60 * 10000) / 10000, 23 + std::nearbyint(38.2802 / 60 * 10000) / 10000, 0},
    };
    for (const RmcCase& c : cases) {
        SCOPED_TRACE(c.name);
        GpsFix fix;
        NmeaOutcome r = ParseNmea(WithChecksum("$GPRMC," + c.fields), c.timeZone, fix);
        ASSERT_FALSE(r.failed());
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(fix.GPSState, c.result == 1 ? 1 : 0);
        EXPECT_NEAR(fix.FixTime, c.time, 1e-12);
        EXPECT_DOUBLE_EQ(fix.Latitude, c.latitude);
        EXPECT_DOUBLE_EQ(fix.Longitude, c.longitude);
        EXPECT_NEAR(fix.Azimuth, c.azimuth, 1e-9);
    }
}

TEST(ParseNmea, GgaAltitudeRoundsHalfToEvenWithinSixteenBits) {
    struct {
        const char* altitude;
        double high;
        bool fails;
    } cases[] = {{"545.4", 545, false}, {"545.5", 546, false},  {"544.5", 544, false},   {"-0.5", 0, false},
                 {"-12.7", -13, false}, {"32767.4", 32767, false}, {"32767.5", 0, true}, {"-32768.5", -32768, false},
                 {"-32769", 0, true},   {"1e3", 1000, false},   {"", 99, false},        {"abc", 99, false},
                 {"nan", 99, false},    {"inf", 99, false},     {"1e999", 99, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.altitude);
        GpsFix fix;
        fix.High = 99;
        NmeaOutcome r =
            ParseNmea(WithChecksum(std::string("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,") + c.altitude +
                                   ",M,46.9,M,,"),
                      8, fix);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.failed(), c.fails);
        EXPECT_EQ(r.error, c.fails ? NmeaError::AltitudeOutOfRange : NmeaError::None);
        EXPECT_EQ(fix.High, c.fails ? 99 : c.high);
    }
}

TEST(ParseNmea, AVoidFixMayLeaveOutWhatItDoesNotKnowAndKeepsWhatWasStored) {
    // As bt451 and iTrek send them without a fix: nothing at all, or the time and date alone.
    struct {
        std::string line;
        double fixTime;
    } cases[] = {{"$GPRMC,,V,,,,,,,,,,N*53", 0.25},
                 {WithChecksum("$GPRMC,120000.000,V,,,,,,,251203,,,N"), Hms(20, 0, 0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        GpsFix fix = Marked();
        NmeaOutcome r = ParseNmea(c.line, 8, fix);
        EXPECT_FALSE(r.failed()) << static_cast<int>(r.error);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(fix.GPSState, 0);
        EXPECT_EQ(fix.FixTime, c.fixTime);
        EXPECT_EQ(fix.Latitude, 2.5);
        EXPECT_EQ(fix.Longitude, 1.5);
        EXPECT_EQ(fix.Speed, 3.5);
    }
}

TEST(ParseNmea, FailuresKeepWhatWasStoredBefore) {
    // How far each line gets: 0 nothing, 1 the time, 2 the latitude, 3 the longitude, 4 the speed.
    struct {
        const char* name;
        std::string line;
        NmeaError error;
        int stored;
    } cases[] = {
        {"valid, empty time", WithChecksum("$GPRMC,,A,4807.038,N,01131.000,E,1,1,,"), NmeaError::BadTime, 0},
        {"valid, no position", WithChecksum("$GPRMC,120000,A,,,,,1,1,,"), NmeaError::BadLatitude, 1},
        {"void, half a latitude", WithChecksum("$GPRMC,120000,V,,N,,,,,,,"), NmeaError::BadLatitude, 1},
        {"void, unreadable longitude", WithChecksum("$GPRMC,120000,V,,,01x31.000,E,,,,,"), NmeaError::BadLongitude, 1},
        {"void, unreadable time", WithChecksum("$GPRMC,12x000,V,,,,,,,,,"), NmeaError::BadTime, 0},
        {"hour 24", WithChecksum("$GPRMC,240000,A,4807.038,N,01131.000,E,1,1,,"), NmeaError::BadTime, 0},
        {"minute 60", WithChecksum("$GPRMC,126000,A,4807.038,N,01131.000,E,1,1,,"), NmeaError::BadTime, 0},
        {"short time", WithChecksum("$GPRMC,12000,A,4807.038,N,01131.000,E,1,1,,"), NmeaError::BadTime, 0},
        {"letters in the time", WithChecksum("$GPRMC,12a000,A,4807.038,N,01131.000,E,1,1,,"), NmeaError::BadTime, 0},
        {"hemisphere n", WithChecksum("$GPRMC,120000,A,4807.038,n,01131.000,E,1,1,,"), NmeaError::BadLatitude, 1},
        {"signed minutes", WithChecksum("$GPRMC,120000,A,48-7.038,N,01131.000,E,1,1,,"), NmeaError::BadLatitude, 1},
        {"longitude hemisphere", WithChecksum("$GPRMC,120000,A,4807.038,N,01131.000,X,1,1,,"),
         NmeaError::BadLongitude, 2},
        {"empty speed", WithChecksum("$GPRMC,120000,A,4807.038,N,01131.000,E,,1,,"), NmeaError::BadSpeed, 3},
        {"speed nan", WithChecksum("$GPRMC,120000,A,4807.038,N,01131.000,E,nan,1,,"), NmeaError::BadSpeed, 3},
        {"speed too large for km/h", WithChecksum("$GPRMC,120000,A,4807.038,N,01131.000,E,1.7e308,1,,"),
         NmeaError::BadSpeed, 3},
        {"course inf", WithChecksum("$GPRMC,120000,A,4807.038,N,01131.000,E,1,inf,,"), NmeaError::BadCourse, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GpsFix fix = Marked();
        NmeaOutcome r = ParseNmea(c.line, 8, fix);
        EXPECT_TRUE(r.failed());
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(fix.GPSState, 7);  // never reached
        EXPECT_EQ(fix.FixTime, c.stored >= 1 ? Hms(20, 0, 0) : 0.25);
        EXPECT_EQ(fix.Latitude != 2.5, c.stored >= 2);
        EXPECT_EQ(fix.Longitude != 1.5, c.stored >= 3);
        EXPECT_EQ(fix.Speed != 3.5, c.stored >= 4);
        EXPECT_EQ(fix.Azimuth, 4.5);
    }
    GpsFix fix = Marked();
    EXPECT_EQ(ParseNmea(WithChecksum("$GPRMC,120000,A,4807.038,N,01131.000,E,1,1,,"), 24, fix).error,
              NmeaError::BadTimeZone);
    EXPECT_EQ(fix.FixTime, 0.25);
}

TEST(ParseNmea, IgnoresWhatIsNotAGpsSentence) {
    const std::string lines[] = {
        "",
        "$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*74",
        "$GLGSV,1,1,00*65",
        "$gprmc,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
        "\n$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
        "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
        "$GP",
        "$GPRMC",
        WithChecksum("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"),
        WithChecksum("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"),
        WithChecksum("$GPGLL,4916.45,N,12311.12,W,225444,A"),
        WithChecksum("$GPRMCX,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        "$PGRME,1.7,M,2.4,M,3.0,M*2D",
        std::string("$GP\0RMC,1", 9),
    };
    for (const std::string& line : lines) {
        GpsFix fix = Marked();
        NmeaOutcome r = ParseNmea(line, 8, fix);
        EXPECT_FALSE(r.failed()) << line;
        EXPECT_EQ(r.result, 0) << line;
        ExpectSame(fix, Marked());
    }
}

TEST(Talkers, TheListIsReadWhateverItsBlanksAndCase) {
    struct Case {
        const char* text;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"", {"GP"}},
        {"GP", {"GP"}},
        {" gp , Gn,GL ", {"GP", "GN", "GL"}},
        {"GN", {"GN"}},  // the user may leave GP out
        {"GP,GN,GL,GA,GB,BD,GQ", {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"}},
        {"GN,GN,gn", {"GN"}},
        {"GPS,G,1A,$GN", {"GP"}},  // nothing readable
        {"GN,GPS", {"GN"}},
        {",,\tGA\t,", {"GA"}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseTalkers(c.text).ids(), c.ids) << c.text;
}

TEST(Talkers, OtherSystemsAreDecodedOnlyWhenListed) {
    const std::string gnRmc = WithChecksum("$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    const std::string gnGga = WithChecksum("$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    const std::string glGsa = WithChecksum("$GLGSA,A,3,65,66,,,,,,,,,,,2.5,1.3,2.1");
    const std::string gaGsa = WithChecksum("$GAGSA,A,3,01,03,,,,,,,,,,,3.5,1.3,2.1");
    const std::string gnGsv = WithChecksum("$GNGSV,1,1,00");
    const TalkerList gpOnly, withGn = ParseTalkers("GP,GN"), all = ParseTalkers("GP,GN,GL,GA");
    GpsFix fix = Marked();
    for (const std::string* line : {&gnRmc, &gnGga, &glGsa, &gaGsa}) EXPECT_EQ(ParseNmea(*line, 8, fix, gpOnly).result, 0);
    ExpectSame(fix, Marked());
    EXPECT_EQ(ParseNmea(gnRmc, 8, fix, withGn).result, 1);
    EXPECT_NEAR(fix.Latitude, 48.1173, 1e-9);
    EXPECT_EQ(ParseNmea(gnGga, 8, fix, withGn).result, 0);
    EXPECT_EQ(fix.High, 545);
    EXPECT_EQ(ParseNmea(glGsa, 8, fix, withGn).result, 0);
    EXPECT_NE(fix.Pdop, 2.5f);  // GL not listed
    ParseNmea(glGsa, 8, fix, all);
    EXPECT_EQ(fix.Pdop, 2.5f);
    ParseNmea(gaGsa, 8, fix, all);
    EXPECT_EQ(fix.Pdop, 3.5f);
    EXPECT_EQ(ParseNmea(gnGsv, 8, fix, all).result, 0);

    // Any talker's RMC is recognised, for telling the user what the receiver speaks.
    EXPECT_EQ(RmcTalker(gnRmc), "GN");
    EXPECT_EQ(RmcTalker("$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00"), std::nullopt);
    EXPECT_EQ(RmcTalker("$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"), std::nullopt);
    EXPECT_EQ(RmcTalker(gnGga), std::nullopt);
}

TEST(ParseNmea, StatusOtherThanAOrVStoresOnlyTheTime) {
    for (const char* status : {"X", "", "a", "AV"}) {
        GpsFix fix = Marked();
        NmeaOutcome r = ParseNmea(
            WithChecksum(std::string("$GPRMC,123519,") + status + ",4807.038,N,01131.000,E,022.4,084.4,230394,,"), 8,
            fix);
        EXPECT_EQ(r.result, 0) << status;
        EXPECT_FALSE(r.failed());
        EXPECT_DOUBLE_EQ(fix.FixTime, Hms(20, 35, 19));
        GpsFix expected = Marked();
        expected.FixTime = fix.FixTime;
        ExpectSame(fix, expected);
    }
}

TEST(ParseNmea, ChecksumIsVerifiedWhenPresent) {
    const std::string good = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
    GpsFix fix;
    EXPECT_EQ(ParseNmea(good, 8, fix).result, 1);
    EXPECT_EQ(ParseNmea("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a", 8, fix).result, 1);
    EXPECT_EQ(ParseNmea("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", 8, fix).result, 1);
    const std::string damaged[] = {
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B",
        "$GPRMC,123519,A,4807.039,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",  // one digit changed
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6AX",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*G0",
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,999.4,M,46.9,M,,*47",
    };
    for (const std::string& line : damaged) {
        GpsFix f = Marked();
        NmeaOutcome r = ParseNmea(line, 8, f);
        EXPECT_EQ(r.result, 0) << line;
        EXPECT_FALSE(r.failed()) << line;
        ExpectSame(f, Marked());
    }
    EXPECT_TRUE(NmeaChecksumOk("$GPGSA,A,1,,,,*32"));
    EXPECT_TRUE(NmeaChecksumOk("$GPRMC,,V,,,,,,,,,,N*53 "));  // blanks after the checksum
}

TEST(ParseNmea, TwentyOneFieldsAtMost) {
    std::string body = "$GPGSA";
    for (int i = 1; i <= 20; ++i) body += ",1";
    GpsFix fix = Marked();
    NmeaOutcome r = ParseNmea(WithChecksum(body + ","), 8, fix);  // 21 comma-terminated fields
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(fix.Pdop, 1.0f);
    fix = Marked();
    r = ParseNmea(WithChecksum(body + ",,"), 8, fix);  // 22
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.error, NmeaError::TooManyFields);
    ExpectSame(fix, Marked());
}

TEST(ParseNmea, HostileInputNeverCrashes) {
    GpsFix fix;
    std::string huge(1 << 20, ',');
    huge.replace(0, 6, "$GPRMC");
    EXPECT_TRUE(ParseNmea(huge, 8, fix).failed());
    std::string longField = "$GPRMC,123519,A," + std::string(100000, '9') + ",N,01131.000,E,1,1,,";
    EXPECT_EQ(ParseNmea(longField, 8, fix).error, NmeaError::BadLatitude);  // minutes too large to be a number
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131) & 0xFF);
    for (size_t cut = 0; cut < binary.size(); cut += 97) ParseNmea("$GP" + binary.substr(cut), 8, fix);
    const char* numbers[] = {"1e308", "-1e308", "+5", "--5", "5-", "1e", ".", "..5", "0x10", "1,5", " 5 ",
                             "9999999999999999999999999999", "1e-400", "-0", "\t3"};
    for (const char* n : numbers) {
        std::string line = std::string("$GPRMC,123519,A,4807.038,N,01131.000,E,") + n + "," + n + ",,";
        NmeaOutcome r = ParseNmea(line, 8, fix);
        if (!r.failed()) {
            EXPECT_TRUE(std::isfinite(fix.Speed)) << n;
            EXPECT_TRUE(std::isfinite(fix.Azimuth)) << n;
        }
        ParseNmea(std::string("$GPGGA,1,2,N,3,E,1,08,0.9,") + n + ",M,,,,", 8, fix);
        ParseNmea(std::string("$GPGSA,A,3,,,,,,,,,,,,,") + n + ",1,1", 8, fix);
        EXPECT_TRUE(std::isfinite(fix.High)) << n;
    }
}

}  // namespace
}  // namespace qv

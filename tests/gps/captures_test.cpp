// Every RMC, GGA and GSA of real receivers' captures, against gpsd's own
// decoding of the same logs.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/number_text.h"
#include "gps/nmea.h"

#ifndef QV_SHARED_DIR
#error "QV_SHARED_DIR names the shared folder with the receiver captures"
#endif

namespace qv {
namespace {

std::optional<double> JsonNumber(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return std::nullopt;
    at += key.size() + 3;
    size_t end = json.find_first_of(",}", at);
    return ParseDecimal(std::string_view(json).substr(at, end - at));
}

std::optional<std::string> JsonTimeOfDay(const std::string& json) {
    size_t at = json.find("\"time\":\"");
    if (at == std::string::npos) return std::nullopt;
    size_t t = json.find('T', at);
    return json.substr(t + 1, 8);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::string Hms(double fraction) {
    long s = std::lround(fraction * 86400);
    char b[64];
    std::snprintf(b, sizeof b, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return b;
}

TEST(Captures, EverySentenceDecodesAsGpsdDecodedIt) {
    std::filesystem::path dir = std::filesystem::path(QV_SHARED_DIR) / "nmea";
    ASSERT_TRUE(std::filesystem::exists(dir)) << dir;
    int logs = 0, rmcChecked = 0, ggaChecked = 0, gsaChecked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".chk") continue;
        ++logs;
        SCOPED_TRACE(entry.path().filename().string());
        std::optional<std::string> chk = ReadWholeFile(entry.path().string());
        ASSERT_TRUE(chk);
        std::vector<std::string> lines = Lines(*chk);
        GpsFix fix;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.rfind("$GP", 0) != 0) continue;
            SCOPED_TRACE(line);
            NmeaOutcome r = ParseNmea(line, 0, fix);
            std::string tpv, sky;
            for (size_t j = i + 1; j < lines.size() && lines[j].rfind("{", 0) == 0; ++j) {
                if (lines[j].find("\"class\":\"TPV\"") != std::string::npos && tpv.empty()) tpv = lines[j];
                if (lines[j].find("\"class\":\"SKY\"") != std::string::npos && sky.empty()) sky = lines[j];
            }
            std::string type = line.substr(0, 6);
            if (type == "$GPRMC") {
                auto lat = JsonNumber(tpv, "lat");
                // Every one decodes: a void one without a position keeps what was stored, as gpsd has none.
                ASSERT_FALSE(r.failed()) << "failed with error " << static_cast<int>(r.error);
                ASSERT_NE(r.result, 0);
                EXPECT_EQ(fix.GPSState, r.result == 1 ? 1 : 0);
                if (auto t = JsonTimeOfDay(tpv)) {
                    EXPECT_EQ(Hms(fix.FixTime), *t);
                }
                if (lat) {
                    EXPECT_NEAR(fix.Latitude, *lat, 0.00005 + 1e-9);  // minutes/60 kept to 4 decimals
                    EXPECT_NEAR(fix.Longitude, *JsonNumber(tpv, "lon"), 0.00005 + 1e-9);
                }
                if (auto speed = JsonNumber(tpv, "speed")) {  // gpsd: m/s to 3 decimals
                    EXPECT_NEAR(fix.Speed / 1.8519984, *speed / 0.514444, 0.0011);
                }
                size_t courseField = 0;
                for (int commas = 0; courseField < line.size() && commas < 8; ++courseField)
                    if (line[courseField] == ',') ++commas;
                bool courseGiven = line[courseField] != ',';
                if (auto track = JsonNumber(tpv, "track"); track && courseGiven) {
                    EXPECT_NEAR(fix.Azimuth, *track > 180 ? *track - 360 : *track, 0.00005);
                }
                if (!courseGiven) {
                    EXPECT_EQ(fix.Azimuth, 0);
                }
                ++rmcChecked;
            } else if (type == "$GPGGA") {
                EXPECT_FALSE(r.failed());
                EXPECT_EQ(r.result, 0);
                if (auto alt = JsonNumber(tpv, "altMSL")) {
                    EXPECT_NEAR(fix.High, *alt, 0.5);
                    EXPECT_EQ(fix.High, std::nearbyint(fix.High));
                    ++ggaChecked;
                }
            } else if (type == "$GPGSA") {
                EXPECT_FALSE(r.failed());
                if (auto pdop = JsonNumber(sky, "pdop")) {
                    EXPECT_NEAR(fix.Pdop, *pdop, 0.005);
                    ++gsaChecked;
                }
            } else {
                EXPECT_EQ(r.result, 0);
            }
        }
    }
    EXPECT_EQ(logs, 7);
    // Every RMC (void ones without a position too); every GGA and GSA gpsd reported values for.
    EXPECT_EQ(rmcChecked, 175);
    EXPECT_EQ(ggaChecked, 75);
    EXPECT_EQ(gsaChecked, 91);
    std::printf("checked %d RMC, %d GGA, %d GSA against gpsd\n", rmcChecked, ggaChecked, gsaChecked);
}

}  // namespace
}  // namespace qv

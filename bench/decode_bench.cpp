// Decoding throughput on a long mixed log, as a receiver sends it, against a
// baseline that only verifies each sentence's checksum (the least any decoder does).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "gps/line_splitter.h"
#include "gps/nmea.h"

namespace {

std::string WithChecksum(const std::string& body) { return qv::NmeaSentence(body.substr(1)) + "\r\n"; }

// One second of output per step: RMC, GGA, GSA, three GSV pages, VTG.
std::string MakeLog(int seconds) {
    std::string log;
    char b[200];
    for (int s = 0; s < seconds; ++s) {
        int hh = s / 3600 % 24, mm = s / 60 % 60, ss = s % 60;
        double lat = 2232.5 + s * 0.001, lon = 11403.4 + s * 0.0013;
        std::snprintf(b, sizeof b, "$GPRMC,%02d%02d%02d.000,A,%.4f,N,%09.4f,E,%.1f,%.1f,081226,,,A", hh, mm, ss, lat,
                      lon, 30.0 + s % 7, (s * 3) % 360 + 0.5);
        log += WithChecksum(b);
        std::snprintf(b, sizeof b, "$GPGGA,%02d%02d%02d.000,%.4f,N,%09.4f,E,1,08,0.9,%.1f,M,-2.1,M,,", hh, mm, ss, lat,
                      lon, 45.0 + s % 13);
        log += WithChecksum(b);
        log += WithChecksum("$GPGSA,A,3,04,05,09,12,17,24,28,30,,,,,1.8,0.9,1.5");
        log += WithChecksum("$GPGSV,3,1,11,04,45,120,42,05,30,200,38,09,60,010,45,12,15,300,30");
        log += WithChecksum("$GPGSV,3,2,11,17,70,080,47,24,25,250,35,28,10,150,28,30,50,330,40");
        log += WithChecksum("$GPGSV,3,3,11,01,05,020,,02,08,100,,03,12,210,");
        std::snprintf(b, sizeof b, "$GPVTG,%.1f,T,,M,%.1f,N,%.1f,K,A", (s * 3) % 360 + 0.5, 30.0 + s % 7,
                      (30.0 + s % 7) * 1.852);
        log += WithChecksum(b);
    }
    return log;
}

template <class F>
double Seconds(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const int kSeconds = 20000;
    const std::string log = MakeLog(kSeconds);
    std::vector<std::string_view> lines;
    qv::LineSplitter splitter;
    std::vector<std::string> owned;
    splitter.Feed(log, [&](std::string_view l) { owned.emplace_back(l); });
    for (const auto& l : owned) lines.push_back(l);

    const int kRounds = 20;
    size_t checked = 0;
    double baseline = Seconds([&] {
        for (int r = 0; r < kRounds; ++r)
            for (std::string_view l : lines) checked += qv::NmeaChecksumOk(l);
    });
    qv::GpsFix fix;
    long fixes = 0;
    double decode = Seconds([&] {
        for (int r = 0; r < kRounds; ++r)
            for (std::string_view l : lines) fixes += qv::ParseNmea(l, 8, fix).result;
    });
    double sentences = static_cast<double>(lines.size()) * kRounds;
    std::printf("sentences: %zu per round, %d rounds (%zu checksums ok, %ld fixes)\n", lines.size(), kRounds,
                checked, fixes);
    std::printf("checksum only (baseline): %.2f million sentences/s\n", sentences / baseline / 1e6);
    std::printf("ParseNmea:                %.2f million sentences/s (target 5), %.2fx the baseline's time\n",
                sentences / decode / 1e6, decode / baseline);

    // One second of receiver output at 4800 baud: the next 480 bytes, cut and decoded as the tick does.
    const size_t kSecondBytes = 480;
    size_t ticks = 0;
    qv::LineSplitter tick;
    double all = Seconds([&] {
        for (size_t at = 0; at < log.size(); at += kSecondBytes, ++ticks)
            tick.Feed(std::string_view(log).substr(at, kSecondBytes),
                      [&](std::string_view l) { fixes += qv::ParseNmea(l, 8, fix).result; });
    });
    std::printf("one second of output (480 bytes, split and decoded): %.3f microseconds\n", all / ticks * 1e6);
    return 0;
}

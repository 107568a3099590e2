// The decoder on arbitrary lines: never a crash, never undefined behaviour,
// and a decoded fix always holds finite values.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "gps/nmea.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int32_t timeZone = static_cast<int8_t>(data[0]) % 30;
    std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
    qv::GpsFix fix;
    // Every talker a receiver may use, so the other systems' sentences are decoded too.
    static const qv::TalkerList kAll = qv::ParseTalkers("GP,GN,GL,GA,GB,BD,GQ,GI");
    qv::NmeaOutcome r = qv::ParseNmea(line, timeZone, fix, data[0] & 0x80 ? kAll : qv::TalkerList());
    qv::RmcTalker(line);
    if (!r.failed() && r.result != 0) {
        if (fix.GPSState != (r.result == 1 ? 1 : 0)) std::abort();
        if (!std::isfinite(fix.Latitude) || !std::isfinite(fix.Longitude) || !std::isfinite(fix.Speed) ||
            !std::isfinite(fix.Azimuth) || fix.Azimuth > 180 || fix.FixTime < 0 || fix.FixTime >= 1)
            std::abort();
    }
    if (!qv::NmeaChecksumOk(line) && r.result != 0) std::abort();  // a damaged sentence drives nothing
    return 0;
}

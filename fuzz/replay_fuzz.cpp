// Arbitrary bytes from the receiver through the whole fix cycle, as
// quorvane-replay runs it: never a crash, and every journal line is one line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    qv::ReplayOptions options;
    options.settings.EyeHigh = 5000;
    options.settings.TimeZone = static_cast<int8_t>(data[0]) % 25;
    options.settings.PrecisionInTrack = 0.0005;
    options.settings.TrackTempFile = "temp.kml";
    options.bytesPerTick = 1 + data[0] % 64;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    qv::Replay(text, options, [](std::string_view line) {
        if (line.find('\n') != std::string_view::npos) std::abort();
    });
    return 0;
}

#pragma once
// Runs a recorded NMEA log through the program's own fix cycle, offline, and
// tells what the program would have shown, sent to Google Earth and recorded.
#include <functional>
#include <string>
#include <string_view>

#include "base/settings.h"

namespace qv {

struct ReplayOptions {
    AppSettings settings;        // as loaded from the configuration (or the defaults)
    size_t bytesPerTick = 480;   // one second at 4800 baud
    bool record = false;         // recording on from the first tick
    std::string kmlFile;         // where the recording is saved at the end, when recording
};

struct ReplayResult {
    size_t ticks = 0;
    size_t trackPoints = 0;
    bool kmlSaved = false;
};

// The receiver's text of a log: '#' comment lines are dropped, the rest kept byte for byte.
std::string ReceiverText(std::string_view log);

// Replays `text` tick by tick; each journal line (without a line end) goes to `journal`.
// `progress` is called now and then with the share done, 0 to 1.
ReplayResult Replay(const std::string& text, const ReplayOptions& options,
                    const std::function<void(std::string_view)>& journal,
                    const std::function<void(double)>& progress = {});

}  // namespace qv

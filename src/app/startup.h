#pragma once
// The entry routine: settings, the start banner, Google Earth, then the panel.
#include <string>
#include <string_view>

#include "base/messages.h"
#include "base/profile.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "base/timing.h"
#include "earth/earth.h"
#include "earth/earth_install.h"
#include "earth/earth_link.h"
#include "track/track_recorder.h"
#include "track/track_recovery.h"

namespace qv {

// Google Earth's activation that has not answered by then is given up.
inline constexpr uint64_t kActivationLimitMs = 60000;

// What start-up needs of the platform.
class StartupPlatform {
public:
    virtual ~StartupPlatform() = default;
    virtual std::string ExecutableFolder() = 0;
    virtual const ProfileReader& Profile() = 0;
    virtual EarthConnector& Earth() = 0;
    virtual InstallProbe& Install() = 0;
    virtual const SteadyClock& Clock() = 0;
    // Where tracks and their recovery files are kept.
    virtual TrackFiles& Tracks() = 0;
    virtual RecoveryDisk& Recovery() = 0;
    virtual TrackPlaces Places(const AppSettings& settings) = 0;
    // Waits a little while Google Earth is being reached, handling window messages meanwhile.
    virtual void Pause(uint32_t milliseconds) = 0;
    // The modal box with a stop icon and one OK button; returns when it is closed.
    virtual void ShowError(std::string_view text, std::string_view title) = 0;
    // Creates and shows the panel, which runs its load sequence and names the
    // tracks recovered at this start; false when no window could be opened.
    virtual bool ShowMainWindow(const std::vector<std::string>& recovered) = 0;
};

// Returns true when the panel is open and the program should run its message loop.
bool RunStartup(AppSettings& settings, EarthLink& link, const RunLog& log, StartupPlatform& platform);

}  // namespace qv

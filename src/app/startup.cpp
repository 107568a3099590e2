#include "app/startup.h"

namespace qv {

bool RunStartup(AppSettings& settings, EarthLink& link, const RunLog& log, StartupPlatform& platform) {
    // Logging is on until the settings say otherwise, so a failed load still leaves a trace.
    settings.WriteLog = true;
    LoadSettings(settings, platform.ExecutableFolder(), platform.Profile());
    log.LogLine("===========================================");
    log.LogLine("1. Start Quorvane & Init Params");
    log.LogLine("2. Open Google Earth");

    // Both objects are asked for even when the first cannot be had.
    link.app = platform.Earth().CreateApp();
    link.control = platform.Earth().CreateControl();
    if (link.app && link.control) {
        log.LogLine("      - Open Google Earth Succeed");
        return platform.ShowMainWindow();
    }
    log.LogLine("      - Open Google Earth Error");
    platform.ShowError(kEarthMissingText, kErrorTitle);
    return false;
}

}  // namespace qv

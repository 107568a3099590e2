#include "app/startup.h"

namespace qv {

bool RunStartup(AppSettings& settings, EarthLink& link, const RunLog& log, StartupPlatform& platform) {
    // Logging is on until the settings say otherwise, so a failed load still leaves a trace.
    settings.WriteLog = true;
    LoadSettings(settings, platform.ExecutableFolder(), platform.Profile());
    log.LogLine("===========================================");
    log.LogLine("1. Start Quorvane & Init Params");
    // A recording cut short by a crash or a power cut becomes its track file first.
    std::vector<std::string> recovered =
        RecoverTracks(platform.Tracks(), platform.Recovery(), platform.Places(settings), log);
    log.LogLine("2. Open Google Earth");

    // Creating the objects may start Google Earth; it is waited for, but not for ever.
    std::unique_ptr<EarthConnection> connection = platform.Earth().Connect();
    uint64_t started = platform.Clock().NowMs();
    EarthConnection::State state = connection ? connection->Poll() : EarthConnection::State::failed;
    while (state == EarthConnection::State::pending && platform.Clock().NowMs() - started < kActivationLimitMs) {
        platform.Pause(50);
        state = connection->Poll();
    }
    if (state == EarthConnection::State::connected && AttachEarth(link, std::move(connection))) {
        log.LogLine("      - Open Google Earth Succeed" + EarthRoutesText(link.routes));
        return platform.ShowMainWindow(recovered);
    }
    if (state == EarthConnection::State::pending) log.LogLine("      - Google Earth No Answer In 60 s");
    log.LogLine("      - Open Google Earth Error");
    if (settings.WebEnabled) {
        // The map page follows the vehicle on its own: the program goes on without Google Earth.
        log.LogLine("      - Google Earth Not In Use : Map In Browser, Camera And Marker Skipped");
        return platform.ShowMainWindow(recovered);
    }
    // Installed but never registered: say how to fix it, not that it is missing.
    if (state == EarthConnection::State::failed && connection && IsClassNotRegistered(connection->FailureCode())) {
        if (std::optional<std::string> exe = FindEarthProExecutable(platform.Install())) {
            log.LogLine("      - Google Earth Pro Not Registered : " + *exe);
            platform.ShowError(text::Fill(text::kEarthNotRegistered, *exe), text::kErrorTitle);
            return false;
        }
    }
    platform.ShowError(text::kEarthMissing, text::kErrorTitle);
    return false;
}

}  // namespace qv

// The program's entry: COM, start-up, then the message loop until the panel closes.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "app/fix_cycle.h"
#include "app/startup.h"
#include "base/message_pump_win32.h"
#include "base/text_codec.h"
#include "earth/earth_install_win32.h"
#include "earth/earth_win32.h"
#include "earth/window_api_win32.h"
#include "ui/main_window_win32.h"

namespace qv {
namespace {

class Win32Sleeper final : public Sleeper {
public:
    void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

// A known folder of the user's, ending in a separator; empty when there is none.
std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) out = WideToUtf8(path) + "\\";
    CoTaskMemFree(path);
    return out;
}

std::string ExecutableFolderOf(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // a drive root keeps its backslash
    return WideToUtf8(folder);
}

class Win32Startup final : public StartupPlatform {
public:
    Win32Startup(HINSTANCE instance, AppSettings& settings, GpsFix& fix, const LocalClock& clock, const RunLog& log,
                 EarthLink& link)
        : instance_(instance),
          settings_(settings),
          fix_(fix),
          clock_(clock),
          log_(log),
          link_(link),
          earth_(MakeComEarthConnector()) {}

    std::string ExecutableFolder() override { return ExecutableFolderOf(nullptr); }
    const ProfileReader& Profile() override { return profile_; }
    EarthConnector& Earth() override { return *earth_; }
    InstallProbe& Install() override { return install_; }
    const SteadyClock& Clock() override { return steady_; }
    TrackFiles& Tracks() override { return tracks_; }
    RecoveryDisk& Recovery() override { return recovery_; }
    TrackPlaces Places(const AppSettings& settings) override {
        std::string local = KnownFolder(FOLDERID_LocalAppData);
        return {settings.AppPath, local.empty() ? local : local + "Quorvane\\", KnownFolder(FOLDERID_Documents)};
    }
    void Pause(uint32_t milliseconds) override {
        // Waits for the time or a message, whichever comes first, and handles what came.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
        pump_.ProcessPending();
    }
    void ShowError(std::string_view text, std::string_view title) override {
        MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), MB_OK | MB_ICONSTOP);
    }
    bool ShowMainWindow(const std::vector<std::string>& recovered) override {
        PanelServices services{settings_, fix_,     link_,    *earth_,  log_, clock_, steady_, windows_,
                               sleeper_,  recovery_, Places(settings_), [this] {
                                   LoadSettings(settings_, ExecutableFolder(), profile_);
                               }};
        window_ = std::make_unique<MainWindow>(instance_, services);
        // The fix cycle drives the panel's parts every second.
        MainWindow::Parts parts = window_->parts();
        cycle_ = std::make_unique<FixCycle>(settings_, fix_, parts.link, parts.view, clock_, link_, parts.state,
                                            parts.track, parts.marker, windows_);
        window_->SetReceiverTick([this] { cycle_->UpdateFromGps(); });
        return window_->Open(recovered);
    }

private:
    HINSTANCE instance_;
    AppSettings& settings_;
    GpsFix& fix_;
    const LocalClock& clock_;
    const RunLog& log_;
    EarthLink& link_;
    Win32ProfileReader profile_;
    std::unique_ptr<EarthConnector> earth_;
    Win32InstallProbe install_;
    DiskTrackFiles tracks_;
    DiskRecovery recovery_;
    SystemSteadyClock steady_;
    Win32MessagePump pump_;
    Win32WindowApi windows_;
    Win32Sleeper sleeper_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<FixCycle> cycle_;  // goes before the window whose parts it holds
};

int Run(HINSTANCE instance) {
    AppSettings settings;
    SystemLocalClock clock;
    RunLog log(settings, clock);
    EarthLink link;
    GpsFix fix;
    Win32Startup startup(instance, settings, fix, clock, log, link);
    if (!RunStartup(settings, link, log, startup)) return 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace
}  // namespace qv

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HRESULT com = CoInitialize(nullptr);
    int rc = qv::Run(instance);
    if (SUCCEEDED(com)) CoUninitialize();
    return rc;
}

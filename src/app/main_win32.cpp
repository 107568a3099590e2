// The program's entry and the one place it is put together: COM, start-up,
// the panel's parts wired to each other, then the message loop until the panel closes.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/fix_cycle.h"
#include "app/startup.h"
#include "base/message_pump_win32.h"
#include "base/messages.h"
#include "base/resource_win32.h"
#include "base/text_codec.h"
#include "earth/call_worker.h"
#include "earth/earth_install_win32.h"
#include "earth/earth_session.h"
#include "earth/earth_win32.h"
#include "earth/window_api_win32.h"
#include "gps/nmea.h"
#include "gps/receiver_link.h"
#include "gps/serial_port_win32.h"
#include "marker/marker_window_win32.h"
#include "res/resource.h"
#include "track/camera_view.h"
#include "track/track_recorder.h"
#include "ui/earth_track_map.h"
#include "ui/main_window_win32.h"
#include "ui/panel.h"
#include "ui/settings_dialog_win32.h"
#include "ui/settings_form.h"
#include "ui/status_board.h"
#include "ui/view_controls.h"
#include "ui/window_picker.h"
#include "web/live_feed.h"
#include "web/page_settings.h"
#include "web/web_content_win32.h"
#include "web/web_server.h"

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

// What the whole program shares, made before Google Earth is reached.
struct Platform {
    Win32ProfileReader profile;
    SystemSteadyClock steady;
    EarthBudget budget{steady};  // every window-thread action's time for Google Earth
    std::unique_ptr<EarthConnector> earth =
        MakeComEarthConnector({static_cast<uint32_t>(EarthBudget::kActionMs), &budget});
    Win32InstallProbe install;
    DiskTrackFiles tracks;
    DiskRecovery recovery;
    Win32MessagePump pump;
    Win32WindowApi windows;
    Win32Sleeper sleeper;
    LiveFeed feed;  // what the map page is told
};

// How long txtState names the map page's address after start, unless a click takes it away sooner.
constexpr uint64_t kMapPageNoticeMs = 60000;

// The panel and everything it drives, wired together. The window forwards
// what the user does here; every action's calls into Google Earth share one budget.
class Program final : public PanelActions, public CameraView, public FixWatcher {
public:
    Program(HINSTANCE instance, AppSettings& settings, GpsFix& fix, const LocalClock& clock, const RunLog& log,
            EarthLink& earth, Platform& platform, TrackPlaces places, std::function<void()> reloadSettings,
            std::vector<std::string> recovered)
        : settings_(settings),
          fix_(fix),
          log_(log),
          earth_(earth),
          p_(platform),
          places_(std::move(places)),
          recovered_(std::move(recovered)),
          window_(instance, *this),
          marker_(instance, p_.windows, p_.pump),
          panel_(window_, p_.windows, p_.sleeper, log),
          status_(window_, text::kStateInitial),
          views_(settings, earth, panel_.state(), p_.pump, p_.sleeper, marker_, p_.budget,
                 [this] {
                     window_.ParkFocus();
                     PublishView();  // each view button and zoom step shows in the map page at once
                 }),
          trackMap_(earth),
          track_(settings, trackMap_, p_.tracks, clock),
          link_({settings, fix, port_, window_, status_, p_.pump, ports_, p_.steady, log,
                 [this, reload = std::move(reloadSettings)] {
                     runOnlyReceiverKeys_ = false;  // the user asked for Config.ini as it is
                     reload();
                 },
                 [this] {
                     // Keys the settings dialog could not write stay in force until the user re-reads the file.
                     if (!runOnlyReceiverKeys_) LoadReceiverSettings(settings_, p_.profile);
                 },
                 [this] { CapEyeHeight(earth_, settings_.EyeHigh); }}),
          session_(earth, *p_.earth, log, p_.steady,
                   {[this](std::string_view text) {
                        if (text.empty()) status_.Clear(StatusSource::earth);
                        else status_.Set(StatusSource::earth, text);
                    },
                    [this] { ParkVehicleMarker(earth_, marker_); },
                    [this] {
                        // Back after a loss: the track being recorded is shown on the new map at once.
                        if (panel_.state().bRecordTrack) track_.ShowTrack();
                    }}),
          cycle_(settings, fix, link_, window_, clock, earth, panel_.state(), track_, marker_, p_.windows) {
        cycle_.Watch(this);
    }

    bool Open() { return window_.Open(static_cast<uint32_t>(EarthSession::kPollMs)); }

    // PanelActions
    void OnLoad() override {
        picker_.emplace(p_.windows, status_, panel_.state(), window_.Handle());
        track_.KeepSafe(
            p_.recovery, places_, [this](const std::string& path) { OnSavedElsewhere(path); },
            [this](const std::string& trouble) { status_.Set(StatusSource::track, trouble); });
        if (!recovered_.empty()) {
            std::string names;
            for (const std::string& path : recovered_) names += (names.empty() ? "" : "，") + BaseName(path);
            status_.Set(StatusSource::track, text::Fill(text::kRecovered, names));
        }
        panel_.OnLoad();  // it pauses while the panel settles: no time of Google Earth's is spent on that
        // Without Google Earth (the map page on instead), nothing of it is waited for or asked.
        bool earthInUse = earth_.connection != nullptr;
        if (earthInUse) {
            EarthBudget::Action action(p_.budget);
            session_.Begin();
        }
        StartMapPage(earthInUse);
        // Opening the link at start is asked for in Config.ini; it is then opened as a double click would.
        if (settings_.OpenAtStart) OnStatePictureDoubleClick(0);
    }
    void OnReceiverTick(bool simulate) override {
        EarthBudget::Action action(p_.budget);
        cycle_.UpdateFromGps();
        track_.RetryUnsavedTracks();
        if (simulate) track_.SimulateTrack({p_.pump, p_.sleeper, *this});
    }
    void OnQuickTick() override {
        EarthBudget::Action action(p_.budget);
        session_.OnTick();
        link_.OnTick();
        if (webNoticeUntil_ && p_.steady.NowMs() >= webNoticeUntil_) {
            webNoticeUntil_ = 0;
            status_.Clear(StatusSource::web);
        }
    }
    void OnStatePictureDoubleClick(int index) override {
        // The panel's hints become fixes: another talker's sentences are read at a word, and a receiver not
        // found is looked for in the settings. A user who has mended Config.ini already is not asked: the
        // double click reads it as ever.
        std::optional<std::string> talker = index == 1 ? link_.HintedTalker() : std::nullopt;
        bool notFound = index == 0 && link_.NothingFound();
        if (talker || notFound) {
            AppSettings file = FileSettings();
            if (talker && !ParseTalkers(file.GpsTalkers).Has(*talker)) {
                if (!window_.Ask(text::Fill(text::kAddTalker, *talker), text::kNoticeTitle)) return;
                AppSettings after = settings_;
                after.GpsTalkers = after.GpsTalkers.empty() ? "GP," + *talker : after.GpsTalkers + "," + *talker;
                ApplySettings(settings_, after);
                return;
            }
            if (notFound && !ReceiverKeysDiffer(file, settings_) &&
                window_.Ask(text::kOfferSettings, text::kNoticeTitle)) {
                OnSettingsClick();
                return;
            }
        }
        EarthBudget::Action action(p_.budget);
        link_.OnStateImageDoubleClick(index);
    }
    std::string OnFollowClick(bool checked) override { return views_.OnFollowClick(checked); }
    std::string OnTrackSwitch(bool checked) override {
        EarthBudget::Action action(p_.budget);
        bool wasRecording = panel_.state().bRecordTrack;
        std::string tip = track_.OnTrackSwitch(checked, panel_.state().bRecordTrack);
        // A new recording: the page's track of the last one goes. A stopped one stays until then.
        if (web_ && panel_.state().bRecordTrack && !wasRecording) p_.feed.BeginRecording();
        PublishView();
        return tip;
    }
    void On3DClick(bool threeD) override {
        EarthBudget::Action action(p_.budget);
        views_.On3DClick(threeD);
    }
    void OnNorthClick(bool northUp) override { views_.OnNorthClick(northUp); }
    void OnZoomInPress() override { views_.OnZoomInPress(); }  // each step is an action of its own
    void OnZoomOutPress() override { views_.OnZoomOutPress(); }
    void OnZoomRelease() override { views_.OnZoomRelease(); }
    void OnPickerPress() override {
        if (picker_) picker_->OnPress();
    }
    void OnPickerMove(double x, double y) override {
        if (picker_) picker_->OnMove(x, y);
    }
    void OnPickerRelease() override {
        if (picker_) picker_->OnRelease();
    }
    void OnAnyClick() override {
        status_.Clear(StatusSource::track);
        status_.Clear(StatusSource::web);
        webNoticeUntil_ = 0;
    }
    void OnReadoutClick() override { OpenMapPage(); }
    void OnSettingsClick() override {
        SettingsDialogInput input;
        input.shown = settings_;
        // The eye height as Config.ini has it: the zoom buttons change it for this run only.
        input.shown.EyeHigh = FileSettings().EyeHigh;
        std::vector<int32_t> present = ports_.ListPorts();
        if (link_.phase() == ReceiverLink::Phase::open && settings_.GpsPort != 0)
            present.push_back(settings_.GpsPort);  // the port being read is there, listed or not
        input.ports = PortChoices(present, PortDeviceNames(), settings_.GpsPort);
        input.proposedTrackFile = (places_.local.empty() ? settings_.AppPath : places_.local) + "CurrentTrack.kml";
        std::optional<AppSettings> after = ShowSettingsDialog(GetModuleHandleW(nullptr), window_.Window(), input);
        if (after) ApplySettings(input.shown, *after);
    }
    void OnClose() override {
        closing_ = true;
        // A recording in progress is kept, under the name it started with, and where it went is said.
        track_.OnPanelClose(panel_.state().bRecordTrack);
        if (!savedWhileClosing_.empty()) {
            std::string paths;
            for (size_t i = 0; i < savedWhileClosing_.size(); ++i) paths += (i ? "\n" : "") + savedWhileClosing_[i];
            window_.Notice(text::Fill(text::kSavedElsewhere, paths), text::kNoticeTitle);
        }
        panel_.state().bZooming = false;  // a zoom loop that is running ends with the window
        link_.CloseGPS();
        marker_.Unload();
        if (web_) web_->Stop();  // the pages see the stream end and wait to reconnect
    }

    // FixWatcher: the map page hears of each fix as the panel shows it.
    void OnFixShown(bool valid) override {
        ++fixSeq_;
        lastValid_ = valid;
        PublishView();
    }
    void OnTrackPoint(double longitude, double latitude, double altitude) override {
        if (web_) p_.feed.AddPoint({longitude, latitude, altitude});  // kept only while a page may ask for them
    }

    // CameraView: where the track simulation flies.
    void SetCameraView(double latitude, double longitude, bool tilted, double heading, bool north) override {
        FlyCameraTo(earth_, settings_.EyeHigh, latitude, longitude, tilted, heading, north);
        PlaceVehicleMarker(earth_, marker_, p_.windows, heading, north);
    }

private:
    void StartMapPage(bool earthInUse) {
        if (!settings_.WebEnabled) return;
        PageSettings page = PageSettingsFor(settings_);
        p_.feed.SetPageSettings(page);
        web_ = std::make_unique<WebServer>(p_.feed,
                                           LoadWebContent(GetModuleHandleW(nullptr), TileOrigins(page.tileUrl)));
        int port = WebPortFor(settings_);
        std::optional<int> used = web_->Start(port);
        if (!used) {
            std::string last = std::to_string(std::min(port + WebServer::kPortsTried - 1, 65535));
            log_.LogLine("      - Map Page Not Served : Ports " + std::to_string(port) + "-" + last + " Taken");
            status_.Set(StatusSource::web, text::Fill(text::kMapPageFailed, std::to_string(port), last));
            web_.reset();
            return;
        }
        address_ = PageAddress(*used);
        log_.LogLine("      - Map Page At " + address_);
        status_.Set(StatusSource::web, text::Fill(earthInUse ? text::kMapPage : text::kMapInBrowser, address_));
        webNoticeUntil_ = p_.steady.NowMs() + kMapPageNoticeMs;
        PublishView();
        if (settings_.WebOpenBrowser == 2 || (settings_.WebOpenBrowser == 1 && !earthInUse)) OpenMapPage();
    }

    // What the user changed from `shown` is written into Config.ini, then put in force as a re-read would,
    // the receiver link opened again only when its keys changed. A file that cannot be written is said, and
    // the settings still hold for this run.
    void ApplySettings(const AppSettings& shown, AppSettings after) {
        std::vector<ProfileChange> changes = ChangedSettings(shown, after);
        bool written = changes.empty() || WriteConfig(changes);
        bool receiver = ReceiverKeysDiffer(settings_, after);
        if (after.EyeHigh == shown.EyeHigh) after.EyeHigh = settings_.EyeHigh;  // this run's zoom stays
        if (!after.TrackTempFile.empty()) MakeFolderOf(after.TrackTempFile);
        settings_ = after;
        if (receiver) {
            runOnlyReceiverKeys_ = !written;
            EarthBudget::Action action(p_.budget);
            link_.Reopen();
        }
        PublishView();
    }

    AppSettings FileSettings() const {
        AppSettings file;
        LoadSettingsFrom(file, settings_.AppPath, settings_.ConfigFile, p_.profile);
        return file;
    }

    bool WriteConfig(const std::vector<ProfileChange>& changes) {
        const std::string& path = settings_.ConfigFile;
        std::string_view shipped = ResourceBytes(GetModuleHandleW(nullptr), IDR_CONFIG_SHIPPED);
        ConfigSave r = SaveSettingsChanges(path, changes, shipped, utf8Config_);
        if (r == ConfigSave::asksForGbk) {
            // Asked once a run: the answer holds for every later save.
            bool toGbk = window_.Ask(text::kConfigInUtf8, text::kNoticeTitle);
            utf8Config_ = toGbk ? Utf8Config::toGbk : Utf8Config::keepUtf8;
            r = SaveSettingsChanges(path, changes, shipped, utf8Config_);
        }
        std::string names;
        for (const ProfileChange& c : changes) names += (names.empty() ? "" : ",") + c.key;
        switch (r) {
        case ConfigSave::saved:
            log_.LogLine("      - Config.ini Saved : " + names);
            return true;
        case ConfigSave::unreadable:
            window_.Notice(text::Fill(text::kConfigUnreadable, path), text::kErrorTitle);
            break;
        case ConfigSave::notGbk:
            window_.Notice(text::Fill(text::kConfigNotGbk, path), text::kErrorTitle);
            break;
        case ConfigSave::unwritable:
        case ConfigSave::refused:
        case ConfigSave::asksForGbk:
            window_.Notice(text::Fill(text::kConfigUnwritable, path), text::kErrorTitle);
            break;
        }
        log_.LogLine("      - Config.ini Not Saved : " + names);
        return false;
    }

    // The folder a file is to go in, made with its parents; a path of the user's that cannot be made is
    // left to the track's own reporting.
    static void MakeFolderOf(const std::string& file) {
        size_t slash = file.find_last_of("\\/");
        if (slash == std::string::npos || slash == 0) return;
        std::wstring folder = Utf8ToWide(file.substr(0, slash));
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    }

    void OpenMapPage() {
        if (!web_) return;
        // The user's default browser; it comes up on its own, so nothing here waits for it.
        auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", Utf8ToWide(address_).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        log_.LogLine(result > 32 ? "      - Map Page Opened In Browser"
                                 : "      - Map Page Not Opened : Error " + std::to_string(result));
    }

    std::string EarthState() const {
        if (!earth_.connection) return "none";
        if (earth_.ready) return earth_.connection->Stuck() ? "hung" : "ready";
        return session_.phase() == EarthSession::Phase::reconnecting ? "lost" : "waiting";
    }

    // The panel as it is now, told to the map page; the fix's number changes only with a new fix.
    void PublishView() {
        if (!web_) return;
        LiveFix f;
        f.seq = fixSeq_;
        f.at = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
        for (PanelControl c : {PanelControl::lblTime, PanelControl::lblLongitude, PanelControl::lblLatitude,
                               PanelControl::lblSpeed, PanelControl::lblAzimuth, PanelControl::lblHigh,
                               PanelControl::txtState})
            f.texts[PanelControlName(c)] = window_.ShownText(c);
        f.latitude = fix_.Latitude;
        f.longitude = fix_.Longitude;
        f.speedKmh = fix_.Speed;
        f.course = fix_.Azimuth;
        f.altitude = fix_.High;
        f.pdop = fix_.Pdop;
        f.valid = lastValid_;
        f.receiverState = fix_.GPSState;
        for (StatusSource s : {StatusSource::link, StatusSource::receiver})
            if (f.receiverHint.empty() && status_.Has(s)) f.receiverHint = status_.Text(s);
        f.recording = panel_.state().bRecordTrack;
        f.points = track_.document().points();
        f.locked = panel_.state().bLockMap;
        f.northUp = panel_.state().bNorthUp;
        f.threeD = panel_.state().b3D;
        f.eyeHigh = settings_.EyeHigh;
        f.earth = EarthState();
        p_.feed.PublishFix(f);
    }

    void OnSavedElsewhere(const std::string& path) {
        if (closing_) savedWhileClosing_.push_back(path);
        else status_.Set(StatusSource::track, text::Fill(text::kSavedElsewhere, path));
    }

    AppSettings& settings_;
    GpsFix& fix_;
    const RunLog& log_;
    EarthLink& earth_;
    Platform& p_;
    TrackPlaces places_;
    std::vector<std::string> recovered_;
    // In the order they depend on each other; they go in the reverse, the window last.
    MainWindow window_;
    Win32SerialPort port_;
    Win32PortFinder ports_;
    MarkerWindow marker_;
    Panel panel_;
    StatusBoard status_;
    ViewControls views_;
    std::optional<WindowPicker> picker_;
    EarthTrackMap trackMap_;
    TrackRecorder track_;
    ReceiverLink link_;
    EarthSession session_;
    FixCycle cycle_;
    std::unique_ptr<WebServer> web_;  // goes first: its threads read the feed and the page's files
    std::string address_;
    uint64_t webNoticeUntil_ = 0;
    uint64_t fixSeq_ = 0;
    bool lastValid_ = false;
    bool closing_ = false;
    bool runOnlyReceiverKeys_ = false;           // the dialog's receiver keys could not be written
    Utf8Config utf8Config_ = Utf8Config::ask;    // how a UTF-8 Config.ini is written back, once asked
    std::vector<std::string> savedWhileClosing_;
};

class Win32Startup final : public StartupPlatform {
public:
    Win32Startup(HINSTANCE instance, AppSettings& settings, GpsFix& fix, const LocalClock& clock, const RunLog& log,
                 EarthLink& link)
        : instance_(instance), settings_(settings), fix_(fix), clock_(clock), log_(log), link_(link) {}

    std::string ExecutableFolder() override { return ExecutableFolderOf(nullptr); }
    const ProfileReader& Profile() override { return p_.profile; }
    EarthConnector& Earth() override { return *p_.earth; }
    InstallProbe& Install() override { return p_.install; }
    const SteadyClock& Clock() override { return p_.steady; }
    TrackFiles& Tracks() override { return p_.tracks; }
    RecoveryDisk& Recovery() override { return p_.recovery; }
    TrackPlaces Places(const AppSettings& settings) override {
        std::string local = KnownFolder(FOLDERID_LocalAppData);
        return {settings.AppPath, local.empty() ? local : local + "Quorvane\\", KnownFolder(FOLDERID_Documents)};
    }
    void Pause(uint32_t milliseconds) override {
        // Waits for the time or a message, whichever comes first, and handles what came.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
        p_.pump.ProcessPending();
    }
    void ShowError(std::string_view text, std::string_view title) override {
        MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), MB_OK | MB_ICONSTOP);
    }
    bool ShowMainWindow(const std::vector<std::string>& recovered) override {
        program_ = std::make_unique<Program>(
            instance_, settings_, fix_, clock_, log_, link_, p_, Places(settings_),
            [this] { LoadSettings(settings_, ExecutableFolder(), p_.profile); }, recovered);
        return program_->Open();
    }

private:
    HINSTANCE instance_;
    AppSettings& settings_;
    GpsFix& fix_;
    const LocalClock& clock_;
    const RunLog& log_;
    EarthLink& link_;
    Platform p_;
    std::unique_ptr<Program> program_;  // goes before the platform it uses
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

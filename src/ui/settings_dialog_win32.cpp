#include "ui/settings_dialog_win32.h"

#include <algorithm>
#include <map>

#include "base/messages.h"
#include "base/text_codec.h"
#include "res/resource.h"

namespace qv {
namespace {

// Sent to itself after a speed is picked from the list: the list's edit takes the pick only after telling.
constexpr UINT kSpeedPicked = WM_APP + 1;

const std::map<FormField, int> kReasonOf = {
    {FormField::setting, IDC_SPEED_WHY},        {FormField::talkers, IDC_TALKERS_WHY},
    {FormField::eyeHigh, IDC_EYE_HIGH_WHY},     {FormField::precision, IDC_PRECISION_WHY},
    {FormField::trackFile, IDC_TRACK_FILE_WHY}, {FormField::webPort, IDC_WEB_PORT_WHY},
    {FormField::tileUrl, IDC_TILE_URL_WHY},     {FormField::tileAttribution, IDC_TILE_ATTRIBUTION_WHY},
};

const char* const kOpenBrowserChoices[] = {text::kOpenBrowserNever, text::kOpenBrowserWithoutEarth,
                                           text::kOpenBrowserAlways};
const char* const kDatums[] = {"WGS84", "GCJ02"};
const char* const kDatumLabels[] = {text::kDatumWgs84, text::kDatumGcj02};

class SettingsDialog {
public:
    explicit SettingsDialog(const SettingsDialogInput& input) : in_(input), maxZoom_(input.shown.TileMaxZoom) {}

    std::optional<AppSettings> Run(HINSTANCE instance, HWND owner) {
        INT_PTR r = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), owner, DialogProc,
                                    reinterpret_cast<LPARAM>(this));
        if (r == IDOK) return result_;
        return std::nullopt;
    }

private:
    // A dialog's own data arrives with WM_INITDIALOG: `this` is bound there, and nothing thrown leaves.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        SettingsDialog* self = nullptr;
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<SettingsDialog*>(lParam);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        } else {
            self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        }
        if (!self) return FALSE;
        try {
            return self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            return FALSE;
        }
    }

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case kSpeedPicked:
            OnSpeedPicked();
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        default:
            return FALSE;
        }
    }

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

    std::string Text(int id) const {
        HWND item = Item(id);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
        return WideToUtf8(text);
    }
    void SetText(int id, const std::string& utf8) { SetWindowTextW(Item(id), Utf8ToWide(utf8).c_str()); }
    bool Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void Check(int id, bool on) { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }

    int AddChoice(int id, const std::string& label, LPARAM data) {
        auto at = static_cast<int>(SendDlgItemMessageW(hwnd_, id, CB_ADDSTRING, 0,
                                                       reinterpret_cast<LPARAM>(Utf8ToWide(label).c_str())));
        SendDlgItemMessageW(hwnd_, id, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
        return at;
    }
    void Choose(int id, LPARAM data) {
        auto n = static_cast<int>(SendDlgItemMessageW(hwnd_, id, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
            if (SendDlgItemMessageW(hwnd_, id, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data) {
                SendDlgItemMessageW(hwnd_, id, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
                return;
            }
        SendDlgItemMessageW(hwnd_, id, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    std::optional<LPARAM> Chosen(int id) const {
        auto at = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
        if (at == CB_ERR) return std::nullopt;
        return SendDlgItemMessageW(hwnd_, id, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
    }

    BOOL OnInitDialog() {
        const SettingsForm f = FormOf(in_.shown);
        // The lists' items are added in order and kept unsorted: CBS_SORT is not set.
        for (const PortChoice& p : in_.ports) AddChoice(IDC_PORT, p.label, p.port);
        Choose(IDC_PORT, f.port);
        for (const char* speed : SpeedChoices()) AddChoice(IDC_SPEED, speed, 0);
        SetText(IDC_SPEED, f.setting.empty() ? SpeedChoices()[0] : f.setting);
        for (size_t i = 0; i < kTalkerIds.size(); ++i) Check(IDC_TALKER_FIRST + static_cast<int>(i), f.talkers[i]);
        Check(IDC_OPEN_AT_START, f.openAtStart);
        SetText(IDC_EYE_HIGH, f.eyeHigh);
        for (const TimeZoneChoice& z : TimeZoneChoices(f.timeZone)) AddChoice(IDC_TIME_ZONE, z.label, z.hours);
        Choose(IDC_TIME_ZONE, f.timeZone);
        SetText(IDC_PRECISION, f.precisionMetres);
        Check(IDC_LIVE_TRACK, f.liveTrack);
        SetText(IDC_TRACK_FILE, f.trackFile);
        Check(IDC_WRITE_LOG, f.writeLog);
        Check(IDC_WEB_ENABLED, f.webEnabled);
        SetText(IDC_WEB_PORT, f.webPort);
        for (LPARAM i = 0; i < 3; ++i) AddChoice(IDC_OPEN_BROWSER, kOpenBrowserChoices[i], i);
        Choose(IDC_OPEN_BROWSER, f.openBrowser);
        for (size_t i = 0; i < TilePresets().size(); ++i)
            AddChoice(IDC_TILE_PRESET, TilePresets()[i].name, static_cast<LPARAM>(i));
        AddChoice(IDC_TILE_PRESET, text::kTileOwn, static_cast<LPARAM>(TilePresets().size()));
        SetText(IDC_TILE_URL, f.tileUrl);
        for (LPARAM i = 0; i < 2; ++i) AddChoice(IDC_TILE_DATUM, kDatumLabels[i], i);
        Choose(IDC_TILE_DATUM, f.tileDatum == "GCJ02" ? 1 : 0);
        SetText(IDC_TILE_ATTRIBUTION, f.tileAttribution);
        Choose(IDC_TILE_PRESET, static_cast<LPARAM>(TilePresetOf(f.tileUrl)));
        filled_ = true;
        Refresh();
        CentreOnOwner();
        SetFocus(Item(IDC_PORT));  // the receiver first: it is what a user most often comes for
        return FALSE;              // the focus is set
    }

    void CentreOnOwner() {
        RECT self{}, owner{};
        GetWindowRect(hwnd_, &self);
        HWND parent = GetWindow(hwnd_, GW_OWNER);
        if (!parent || !GetWindowRect(parent, &owner)) return;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(parent, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        int w = self.right - self.left, h = self.bottom - self.top;
        int x = (owner.left + owner.right - w) / 2, y = (owner.top + owner.bottom - h) / 2;
        // The panel is a strip on top of everything at the screen's edge: the dialog goes just beside it
        // (below it, or above one at the bottom), never under it, and stays whole on the screen.
        if (y < owner.bottom && y + h > owner.top)
            y = owner.bottom + h <= work.bottom ? owner.bottom : std::max<int>(work.top, owner.top - h);
        x = std::max<int>(work.left, std::min<int>(x, work.right - w));
        y = std::max<int>(work.top, std::min<int>(y, work.bottom - h));
        SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    SettingsForm Read() const {
        SettingsForm f = FormOf(in_.shown);
        f.port = static_cast<int32_t>(Chosen(IDC_PORT).value_or(in_.shown.GpsPort));
        std::string speed = Text(IDC_SPEED);
        f.setting = speed;
        for (const char* choice : SpeedChoices())
            if (speed == choice) f.setting = SettingForSpeedChoice(speed);
        for (size_t i = 0; i < kTalkerIds.size(); ++i) f.talkers[i] = Checked(IDC_TALKER_FIRST + static_cast<int>(i));
        f.openAtStart = Checked(IDC_OPEN_AT_START);
        f.eyeHigh = Text(IDC_EYE_HIGH);
        f.timeZone = static_cast<int32_t>(Chosen(IDC_TIME_ZONE).value_or(in_.shown.TimeZone));
        f.precisionMetres = Text(IDC_PRECISION);
        f.liveTrack = Checked(IDC_LIVE_TRACK);
        f.trackFile = Text(IDC_TRACK_FILE);
        f.writeLog = Checked(IDC_WRITE_LOG);
        f.webEnabled = Checked(IDC_WEB_ENABLED);
        f.webPort = Text(IDC_WEB_PORT);
        f.openBrowser = static_cast<int32_t>(Chosen(IDC_OPEN_BROWSER).value_or(in_.shown.WebOpenBrowser));
        f.tileUrl = Text(IDC_TILE_URL);
        f.tileAttribution = Text(IDC_TILE_ATTRIBUTION);
        std::optional<LPARAM> datum = Chosen(IDC_TILE_DATUM);
        // An unknown datum in the file stays as it is until the user picks one.
        bool datumAsShown = datum == (in_.shown.TileDatum == "GCJ02" ? 1 : 0);
        f.tileDatum = !datum || datumAsShown ? in_.shown.TileDatum : kDatums[*datum];
        f.tileMaxZoom = maxZoom_;
        return f;
    }

    // The reasons beside the fields and the OK button, as the form stands now.
    void Refresh() {
        if (!filled_) return;
        FormResult r = ReadForm(Read(), in_.shown);
        for (const auto& [field, id] : kReasonOf) {
            auto why = r.troubles.find(field);
            SetText(id, why == r.troubles.end() ? std::string() : why->second);
        }
        EnableWindow(Item(IDOK), r.troubles.empty());
        EnableWindow(Item(IDC_TRACK_FILE), Checked(IDC_LIVE_TRACK));
        bool web = Checked(IDC_WEB_ENABLED);
        for (int id : {IDC_WEB_PORT, IDC_OPEN_BROWSER, IDC_TILE_PRESET, IDC_TILE_URL, IDC_TILE_DATUM,
                       IDC_TILE_ATTRIBUTION})
            EnableWindow(Item(id), web);
    }

    void OnCommand(int id, int code) {
        if (!filled_) return;
        switch (id) {
        case IDOK: {
            FormResult r = ReadForm(Read(), in_.shown);
            if (!r.troubles.empty()) {  // Enter while a field is wrong: OK is off, and so is this
                MessageBeep(MB_ICONWARNING);
                return;
            }
            result_ = std::move(r.settings);
            EndDialog(hwnd_, IDOK);
            return;
        }
        case IDCANCEL:
            EndDialog(hwnd_, IDCANCEL);
            return;
        case IDC_SPEED:
            if (code == CBN_SELCHANGE) PostMessageW(hwnd_, kSpeedPicked, 0, 0);
            else if (code == CBN_EDITCHANGE) Refresh();
            return;
        case IDC_LIVE_TRACK:
            // Switched on without a file: one under the user's own folder is proposed; a path typed before stays.
            if (code == BN_CLICKED && Checked(IDC_LIVE_TRACK) && Text(IDC_TRACK_FILE).empty())
                SetText(IDC_TRACK_FILE, in_.proposedTrackFile);
            Refresh();
            return;
        case IDC_TILE_PRESET:
            if (code == CBN_SELCHANGE) OnTilePreset();
            return;
        case IDC_TILE_URL:
            if (code == EN_CHANGE) {
                Choose(IDC_TILE_PRESET, static_cast<LPARAM>(TilePresetOf(Text(IDC_TILE_URL))));
                Refresh();
            }
            return;
        default:
            if (code == EN_CHANGE || code == BN_CLICKED || code == CBN_SELCHANGE) Refresh();
        }
    }

    void OnSpeedPicked() {
        auto at = SendDlgItemMessageW(hwnd_, IDC_SPEED, CB_GETCURSEL, 0, 0);
        if (at != CB_ERR && at > 0) SetText(IDC_SPEED, SettingForSpeedChoice(SpeedChoices()[static_cast<size_t>(at)]));
        Refresh();
    }

    void OnTilePreset() {
        std::optional<LPARAM> chosen = Chosen(IDC_TILE_PRESET);
        if (!chosen || static_cast<size_t>(*chosen) >= TilePresets().size()) return;  // one's own: typed below
        const TilePreset& p = TilePresets()[static_cast<size_t>(*chosen)];
        SetText(IDC_TILE_URL, p.url);
        SetText(IDC_TILE_ATTRIBUTION, p.attribution);
        Choose(IDC_TILE_DATUM, std::string_view(p.datum) == "GCJ02" ? 1 : 0);
        maxZoom_ = p.maxZoom;
        Refresh();
    }

    INT_PTR OnControlColour(HDC dc, HWND control) {
        int id = GetDlgCtrlID(control);
        for (const auto& entry : kReasonOf) {
            if (entry.second != id) continue;
            SetTextColor(dc, RGB(192, 0, 0));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    }

    const SettingsDialogInput& in_;
    HWND hwnd_ = nullptr;
    bool filled_ = false;  // the controls' notifications while they are filled are not the user's
    int32_t maxZoom_;
    AppSettings result_;
};

}  // namespace

std::optional<AppSettings> ShowSettingsDialog(HINSTANCE instance, HWND owner, const SettingsDialogInput& input) {
    SettingsDialog dialog(input);
    return dialog.Run(instance, owner);
}

}  // namespace qv

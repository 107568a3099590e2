#include "ui/main_window_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include "base/messages.h"
#include "base/text_codec.h"
#include "earth/window_api_win32.h"
#include "gps/state_icons.h"
#include "res/resource.h"
#include "ui/about_box_win32.h"
#include "ui/button_pictures.h"
#include "ui/control_ids.h"

namespace qv {
namespace {

constexpr wchar_t kClassName[] = L"QuorvanePanel";
constexpr double kWidthTwips = 9135;
constexpr double kHeightTwips = 780;
constexpr UINT_PTR kReceiverTimer = 1;
constexpr UINT_PTR kQuickTimer = 2;
constexpr COLORREF kYellowText = RGB(255, 255, 0);
constexpr COLORREF kCyanText = RGB(0, 255, 255);

COLORREF FromRgb(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// A picture at the display's scaling.
HBITMAP MakeBitmap(const StateIcon& icon, int dpi) {
    int size = PictureSize(dpi);
    std::vector<uint32_t> pixels = ScalePicture(icon, size);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        auto* out = static_cast<uint32_t*>(bits);
        for (size_t i = 0; i < pixels.size(); ++i) out[i] = pixels[i];  // 0x00RRGGBB is BGRA in memory
    }
    return bitmap;
}

// The widest text each label shows, and the label's width in twips.
struct LabelSample {
    const wchar_t* text;
    double widthTwips;
};

// The labels' font: 12 points, a pixel smaller at a time should the widest texts not fit their labels. Labels
// grow in proportion with the display; a font's glyphs, fitted to the pixel grid, do not quite.
HFONT MakeLabelFont(const TwipsPerPixel& twips, std::initializer_list<LabelSample> samples) {
    WindowDc screen(nullptr);
    int height = MulDiv(12, ScreenDpi(), 72);
    for (;; --height) {
        GdiObject<HFONT> font(FontOfHeight(L"MS Sans Serif", height));
        bool fits = true;
        if (screen.get() && height > 8) {
            MemoryDc dc(screen.get());
            Selection use(dc.get(), font.get());
            for (const LabelSample& sample : samples) {
                SIZE size{};
                GetTextExtentPoint32W(dc.get(), sample.text, static_cast<int>(wcslen(sample.text)), &size);
                fits = fits && size.cx <= twips.PixelsX(sample.widthTwips) - 2;
            }
        }
        if (fits || height <= 8) return font.release();
    }
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, PanelActions& actions)
    : instance_(instance), actions_(actions), twips_(TwipsPerPixel::OfScreen()) {}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

class MainWindow::Busy {
public:
    explicit Busy(MainWindow& window) : window_(window) { ++window_.busy_; }
    ~Busy() {
        if (--window_.busy_ == 0 && window_.closeHeld_) {
            window_.closeHeld_ = false;
            window_.OnClose();
        }
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    MainWindow& window_;
};

bool MainWindow::Open(uint32_t quickTickMs) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&common);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_QUORVANE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered

    RECT client = twips_.Pixels(0, 0, kWidthTwips, kHeightTwips);
    CreateWindowExW(0, kClassName, L"Quorvane", WS_POPUP | WS_CLIPCHILDREN, 0, 0, client.right, client.bottom, nullptr,
                    nullptr, instance_, this);
    if (!hwnd_) return false;
    {
        Busy busy(*this);  // the load sequence pumps; a close meanwhile waits for it
        actions_.OnLoad();
        if (hwnd_ && !closing_) {
            SetTimer(hwnd_, kReceiverTimer, 1000, nullptr);
            SetTimer(hwnd_, kQuickTimer, quickTickMs, nullptr);
        }
    }
    return hwnd_ && IsWindow(hwnd_) != FALSE;
}

void MainWindow::Notice(const std::string& text, const std::string& title) {
    MessageBoxW(hwnd_, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), MB_OK | MB_ICONWARNING);
}

bool MainWindow::Ask(const std::string& text, const std::string& title) {
    return MessageBoxW(hwnd_, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

double MainWindow::ScreenWidthTwips() { return GetSystemMetrics(SM_CXSCREEN) * twips_.x; }
double MainWindow::WidthTwips() { return kWidthTwips; }

void MainWindow::MoveTo(double leftTwips, double topTwips) {
    SetWindowPos(hwnd_, nullptr, twips_.PixelsX(leftTwips), twips_.PixelsY(topTwips), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

double MainWindow::LeftTwips() {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.left * twips_.x;
}

double MainWindow::TopTwips() {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.top * twips_.y;
}

int32_t MainWindow::Handle() { return FromHwnd(hwnd_); }

int MainWindow::Dpi() const { return static_cast<int>(std::lround(1440.0 / twips_.x)); }

void MainWindow::SetText(PanelControl control, std::string_view utf8) {
    auto it = controls_.find(control);
    if (it != controls_.end()) SetWindowTextW(it->second, Utf8ToWide(utf8).c_str());
}

void MainWindow::SetVisible(PanelControl control, bool visible) {
    auto it = controls_.find(control);
    if (it != controls_.end()) ShowWindow(it->second, visible ? SW_SHOWNA : SW_HIDE);
}

// The readouts, or the status line lying over them.
bool MainWindow::OnReadouts(POINT client) const {
    HWND under = ChildWindowFromPointEx(hwnd_, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    for (PanelControl c : {PanelControl::txtState, PanelControl::lblLongitude, PanelControl::lblLatitude,
                           PanelControl::lblSpeed, PanelControl::lblAzimuth, PanelControl::lblHigh,
                           PanelControl::lblTime}) {
        auto it = controls_.find(c);
        if (under && it != controls_.end() && it->second == under) return true;
    }
    return false;
}

std::string MainWindow::ShownText(PanelControl control) const {
    auto it = controls_.find(control);
    if (it == controls_.end() || !IsWindowVisible(it->second)) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(it->second)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(it->second, text.data(), static_cast<int>(text.size()))));
    return WideToUtf8(text);
}

bool MainWindow::FollowChecked() {
    return SendMessageW(buttons_[control_id::kFollow], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::ParkFocus() {
    if (focusBox_) SetFocus(focusBox_);
}

HWND MainWindow::CreatePictureButton(int id, DWORD kind, double left, double top, const StateIcon& picture,
                                     const char* tip) {
    HWND button = CreateChild(L"BUTTON", L"", WS_VISIBLE | kind | BS_BITMAP, id, left, top, 375, 375);
    pictures_.emplace_back(MakeBitmap(picture, Dpi()));
    SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(pictures_.back().get()));
    if (tip) AddTooltip(button, tip);
    SetWindowSubclass(button, ButtonProc, static_cast<UINT_PTR>(id), reinterpret_cast<DWORD_PTR>(this));
    buttons_[id] = button;
    return button;
}

// Presses and releases on the picture buttons: the zoom buttons act while
// held, and the picker starts on a press of either mouse button.
LRESULT CALLBACK MainWindow::ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self) {
    auto* window = reinterpret_cast<MainWindow*>(self);
    bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
    bool release = message == WM_LBUTTONUP || message == WM_RBUTTONUP;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ButtonProc, id);
    // The button's own handling runs once, whatever ours does after it.
    LRESULT r = DefSubclassProc(hwnd, message, wParam, lParam);
    if (!press && !release) return r;
    try {
        Busy busy(*window);
        if (press) window->OnButtonPress(static_cast<int>(id));
        else window->OnButtonRelease(static_cast<int>(id));
    } catch (...) {
        // Nothing may unwind through the window procedure.
    }
    return r;
}

void MainWindow::OnButtonPress(int id) {
    using namespace control_id;
    if (id == kZoomIn) actions_.OnZoomInPress();
    else if (id == kZoomOut) actions_.OnZoomOutPress();
    else if (id == kPicker) actions_.OnPickerPress();
}

void MainWindow::OnButtonRelease(int id) {
    if (id == control_id::kZoomIn || id == control_id::kZoomOut) actions_.OnZoomRelease();
}

void MainWindow::SetTextColour(PanelControl control, uint32_t rgb) {
    auto it = controls_.find(control);
    if (it == controls_.end()) return;
    COLORREF colour = FromRgb(rgb);
    auto& current = textColours_[it->second];
    if (current == colour) return;  // repainting every second would only flicker
    current = colour;
    InvalidateRect(it->second, nullptr, TRUE);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE && busy_ > 0) {
        // Handled in a pump of some work under way: closed once that work has unwound. A zoom held
        // down ends with the window, so the close does not wait for the button's release.
        closeHeld_ = true;
        actions_.OnZoomRelease();
        return 0;
    }
    Busy busy(*this);
    return Dispatch(message, wParam, lParam);
}

LRESULT MainWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_MOUSEMOVE:
        actions_.OnPickerMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        actions_.OnPickerRelease();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        actions_.OnAnyClick();
        return 0;
    case WM_PARENTNOTIFY:
        // A press on any control of the panel.
        if (LOWORD(wParam) == WM_LBUTTONDOWN || LOWORD(wParam) == WM_RBUTTONDOWN) {
            if (LOWORD(wParam) == WM_LBUTTONDOWN && OnReadouts(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}))
                actions_.OnReadoutClick();
            actions_.OnAnyClick();
        }
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

HWND MainWindow::CreateChild(const wchar_t* cls, const wchar_t* text, DWORD style, int id, double left, double top,
                             double width, double height) {
    RECT r = twips_.Pixels(left, top, width, height);
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_CLIPSIBLINGS | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                           nullptr);
}

void MainWindow::AddTooltip(HWND control, const char* utf8) {
    if (!tooltip_.get() || !control) return;
    std::wstring text = Utf8ToWide(utf8);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::SetTooltip(HWND control, const std::string& utf8) {
    if (!tooltip_.get() || !control) return;
    std::wstring text = Utf8ToWide(utf8);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::OnCreate() {
    using namespace control_id;
    labelFont_ = GdiObject<HFONT>(MakeLabelFont(twips_, {{L"W 180\u00B000' 00.00\"", 2160},
                                                         {L"S  90\u00B000' 00.00\"", 2160},
                                                         {L"9999.9km/h", 1920},
                                                         {L"GPS\u7CBE\u5EA6 : 99.9", 1920},
                                                         {L"-32768m", 1200},
                                                         {L"00:00:00", 1200}}));
    stateFont_ = GdiObject<HFONT>(FontOfPoints(L"Times New Roman", 12));
    black_ = GdiObject<HBRUSH>(CreateSolidBrush(RGB(0, 0, 0)));
    stateBackground_ = GdiObject<HBRUSH>(CreateSolidBrush(GetSysColor(COLOR_MENUTEXT)));
    // Not owned by the panel: an owned top-most pop-up keeps Wine from raising the panel itself.
    tooltip_ = OwnedWindow(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                           nullptr, instance_, nullptr));

    struct Label {
        PanelControl control;
        int id;
        const wchar_t* text;
        double left, top, width, height;
        COLORREF colour;
        const char* tip;
    };
    const Label labels[] = {
        {PanelControl::lblLongitude, kLongitude, L"E", 3480, 15, 2160, 375, kYellowText, nullptr},
        {PanelControl::lblLatitude, kLatitude, L"N", 3480, 375, 2160, 375, kYellowText, nullptr},
        {PanelControl::lblSpeed, kSpeed, L"km/h", 5640, 15, 1920, 375, kYellowText, text::kTipSpeed},
        {PanelControl::lblAzimuth, kAzimuth, L"GPS精度", 5640, 375, 1920, 375, kYellowText, text::kTipPrecision},
        {PanelControl::lblHigh, kHigh, L"m", 7560, 15, 1200, 375, kCyanText, text::kTipAltitude},
        {PanelControl::lblTime, kTime, L"00:00:00", 7560, 375, 1200, 375, kCyanText, nullptr},
    };
    for (const Label& l : labels) {
        HWND h = CreateChild(L"STATIC", l.text, WS_VISIBLE | SS_LEFT | SS_NOTIFY, l.id, l.left, l.top, l.width,
                             l.height);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
        controls_[l.control] = h;
        textColours_[h] = l.colour;
        if (l.tip) AddTooltip(h, l.tip);
    }

    // The status text lies over the six labels while it is shown.
    HWND state = CreateChild(L"EDIT", Utf8ToWide(text::kStateInitial).c_str(),
                             ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, kState, 3480, 15, 5280, 750);
    SendMessageW(state, WM_SETFONT, reinterpret_cast<WPARAM>(stateFont_.get()), FALSE);
    SetWindowPos(state, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    controls_[PanelControl::txtState] = state;
    textColours_[state] = kYellowText;

    // The focus parking place: first in the tab order, its text means nothing.
    focusBox_ = CreateChild(L"EDIT", L"", WS_VISIBLE | WS_TABSTOP, kFocus, 1680, 480, 255, 285);

    trackPicture_ = GdiObject<HBITMAP>(MakeBitmap(DrawTrackPicture(), Dpi()));
    trackSwitch_ = CreateChild(L"BUTTON", L"", WS_VISIBLE | BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP, kTrack, 2355,
                               375, 375, 375);
    SendMessageW(trackSwitch_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(trackPicture_.get()));
    AddTooltip(trackSwitch_, text::kTipStartTrack);
    // A test hook nobody sees: while checked, each tick also runs the track simulation.
    testSwitch_ = CreateChild(L"BUTTON", L"", BS_AUTOCHECKBOX, kTest, 600, 240, 255, 255);

    // The logo; a double click opens the about box.
    logo_ = GdiObject<HBITMAP>(MakeLogoBitmap(Dpi()));
    HWND logo = CreateChild(L"STATIC", nullptr, WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, kAbout, 15, 15,
                            1590, 750);
    SendMessageW(logo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_.get()));

    // The view controls, in two rows.
    CreatePictureButton(kHeadingUp, BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_GROUP, 1620, 15, DrawHeadingUpPicture(),
                        text::kTipHeadingUp);
    CreatePictureButton(kNorthUp, BS_AUTORADIOBUTTON | BS_PUSHLIKE, 1980, 15, DrawNorthUpPicture(), text::kTipNorthUp);
    CreatePictureButton(kFlat, BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_GROUP, 1620, 390, Draw2DPicture(), text::kTip2D);
    CreatePictureButton(kTilted, BS_AUTORADIOBUTTON | BS_PUSHLIKE, 1980, 390, Draw3DPicture(), text::kTip3D);
    SendMessageW(buttons_[kNorthUp], BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(buttons_[kFlat], BM_SETCHECK, BST_CHECKED, 0);
    CreatePictureButton(kFollow, BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_GROUP, 2355, 15, DrawCarPicture(), text::kTipUnlockMap);
    SendMessageW(buttons_[kFollow], BM_SETCHECK, BST_CHECKED, 0);
    CreatePictureButton(kPicker, BS_PUSHBUTTON, 2730, 15, DrawCrossHairPicture(), text::kTipPicker);
    CreatePictureButton(kTool, BS_PUSHBUTTON, 2730, 375, DrawSpannerPicture(), text::kTipTool);
    CreatePictureButton(kZoomIn, BS_PUSHBUTTON, 3120, 15, DrawZoomPicture(true), text::kTipZoomIn);
    CreatePictureButton(kZoomOut, BS_PUSHBUTTON, 3105, 375, DrawZoomPicture(false), text::kTipZoomOut);

    HWND quit = CreateChild(L"BUTTON", L"X", WS_VISIBLE | BS_PUSHBUTTON, kQuit, 8760, 15, 375, 375);
    quitFont_ = GdiObject<HFONT>(FontOfPoints(L"MS Sans Serif", 8));  // in points: it follows the display's scaling
    SendMessageW(quit, WM_SETFONT, reinterpret_cast<WPARAM>(quitFont_.get()), FALSE);

    // The focus box lies under the 2D button, which hides it.
    SetWindowPos(focusBox_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    const char* stateTips[] = {text::kTipNoReceiver, text::kTipWeakSignal, text::kTipReceiverOk};
    const PanelControl stateImages[] = {PanelControl::imgGPS0, PanelControl::imgGPS1, PanelControl::imgGPS2};
    for (int i = 0; i < 3; ++i) {
        stateIcons_[i] = GdiObject<HBITMAP>(MakeBitmap(DrawStateIcon(i), Dpi()));
        HWND image = CreateChild(L"STATIC", nullptr, (i == 0 ? WS_VISIBLE : 0) | SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY,
                                 kGpsImage0 + i, 8760, 390, 360, 360);
        SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(stateIcons_[i].get()));
        controls_[stateImages[i]] = image;
        AddTooltip(image, stateTips[i]);
    }
}

void MainWindow::OnCommand(int id, int code) {
    using namespace control_id;
    if (id == kQuit && code == BN_CLICKED) {
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    } else if (id == kTrack && code == BN_CLICKED) {
        bool checked = SendMessageW(trackSwitch_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SetTooltip(trackSwitch_, actions_.OnTrackSwitch(checked));
        SetFocus(focusBox_);
    } else if (id == kFollow && code == BN_CLICKED) {
        SetTooltip(buttons_[kFollow], actions_.OnFollowClick(FollowChecked()));
    } else if ((id == kFlat || id == kTilted) && code == BN_CLICKED) {
        actions_.On3DClick(SendMessageW(buttons_[kTilted], BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if ((id == kHeadingUp || id == kNorthUp) && code == BN_CLICKED) {
        actions_.OnNorthClick(SendMessageW(buttons_[kNorthUp], BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (id == kTool && code == BN_CLICKED) {
        actions_.OnSettingsClick();
    } else if (id == kAbout && code == STN_DBLCLK) {
        ShowAboutBox(instance_, hwnd_);
    } else if (id >= kGpsImage0 && id <= kGpsImage2 && code == STN_DBLCLK) {
        actions_.OnStatePictureDoubleClick(id - kGpsImage0);
    }
}

void MainWindow::OnTimer(UINT_PTR id) {
    if (id == kReceiverTimer)
        actions_.OnReceiverTick(SendMessageW(testSwitch_, BM_GETCHECK, 0, 0) == BST_CHECKED);
    else if (id == kQuickTimer)
        actions_.OnQuickTick();
}

LRESULT MainWindow::OnControlColour(HDC dc, HWND control) {
    auto colour = textColours_.find(control);
    SetTextColor(dc, colour != textColours_.end() ? colour->second : kYellowText);
    if (control == controls_[PanelControl::txtState]) {
        SetBkColor(dc, GetSysColor(COLOR_MENUTEXT));
        return reinterpret_cast<LRESULT>(stateBackground_.get());
    }
    SetBkColor(dc, RGB(0, 0, 0));
    return reinterpret_cast<LRESULT>(black_.get());
}

void MainWindow::OnClose() {
    // Closing is never refused; the parts let go before and while the window goes.
    if (closing_) return;
    closing_ = true;
    KillTimer(hwnd_, kReceiverTimer);
    KillTimer(hwnd_, kQuickTimer);
    actions_.OnClose();
    if (hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::OnDestroy() { PostQuitMessage(0); }

}  // namespace qv

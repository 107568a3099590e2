#include "ui/about_box_win32.h"

#include <shellapi.h>

#include <cmath>
#include <vector>

#include "base/text_codec.h"
#include "base/gdi_win32.h"
#include "ui/twips_win32.h"
#include "base/window_base_win32.h"

namespace qv {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneAbout";
constexpr int kOk = 1, kWeb = 2;

class AboutBox final : public WindowBase<AboutBox> {
    friend class WindowBase<AboutBox>;

public:
    explicit AboutBox(HINSTANCE instance) : instance_(instance), twips_(TwipsPerPixel::OfScreen()) {}

    void Run(HWND owner) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance_;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc);
        RECT r = twips_.Pixels(0, 0, 6915, 5475);
        DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME);
        RECT o{};
        GetWindowRect(owner, &o);
        int w = r.right - r.left, h = r.bottom - r.top;
        int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
        CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, L"关于 Quorvane", style, x, y, w, h, owner, nullptr, instance_,
                        this);
        if (!hwnd_) return;
        // Modal: the panel takes no input until the box is closed.
        EnableWindow(owner, FALSE);
        ShowWindow(hwnd_, SW_SHOW);
        MSG msg;
        while (hwnd_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!IsDialogMessageW(hwnd_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (msg.message == WM_QUIT) PostQuitMessage(static_cast<int>(msg.wParam));
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }

private:
    HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int id, double l, double t, double w, double h,
               HFONT font) {
        RECT r = twips_.Pixels(l, t, w, h);
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                                 nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    }

    void OnCreate() {
        versionFont_ = GdiObject<HFONT>(FontOfPoints(L"Times New Roman", 15, FW_BOLD));
        textFont_ = GdiObject<HFONT>(FontOfPoints(L"MS Sans Serif", 9, FW_NORMAL));
        HFONT text = textFont_.get();
        version_ = Child(L"STATIC", Utf8ToWide(ProgramVersionText()).c_str(), SS_LEFT, 10, 120, 840, 3525, 345,
                         versionFont_.get());
        Child(L"EDIT",
              L"Quorvane 把 Google Earth 变成车载移动地图：读取串口 GPS 接收机的 NMEA-0183 数据，"
              L"让地图跟随车辆，并把行驶轨迹记录为 KML 文件。\r\n"
              L"Quorvane turns Google Earth into a moving map for your vehicle.",
              ES_MULTILINE | ES_READONLY | WS_VSCROLL, 11, 120, 2760, 6735, 1095, text);
        Child(L"EDIT", L"Web:", ES_READONLY, 12, 120, 3720, 1815, 285, text);
        web_ = Child(L"STATIC", kProductWebSite, SS_LEFT | SS_NOTIFY, kWeb, 600, 3720, 6255, 285, text);
        Child(L"STATIC", L"感谢所有试用并反馈问题的驾驶员朋友。",
              SS_LEFT, 13, 120, 4320, 6765, 225, text);
        Child(L"STATIC", L"2008-8-20", SS_LEFT, 14, 3480, 4680, 3285, 225, text);
        HWND ok = Child(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kOk, 5520, 5040, 1260, 345, text);
        SetFocus(ok);
    }

    void OnPaint() {
        PaintDc paint(hwnd_);
        HDC dc = paint.get();
        // The banner picture, 463 x 212 from the top-left corner: dusk sky, a road and the name.
        for (int y = 0; y < 212; ++y) {
            RECT row{0, y, 463, y + 1};
            GdiObject<HBRUSH> b(CreateSolidBrush(RGB(10, 30 + y / 4, 70 + y / 3)));
            FillRect(dc, &row, b.get());
        }
        GdiObject<HPEN> road(CreatePen(PS_SOLID, 4, RGB(255, 255, 0)));
        {
            Selection use(dc, road.get());
            POINT pts[] = {{20, 200}, {120, 170}, {220, 180}, {330, 130}, {440, 120}};
            Polyline(dc, pts, 5);
        }
        GdiObject<HFONT> title(FontOfPoints(L"Times New Roman", 26, FW_BOLD));
        Selection useTitle(dc, title.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutW(dc, 20, 12, L"Quorvane", 8);
        RECT client;
        GetClientRect(hwnd_, &client);
        int y0 = twips_.PixelsY(3000), x0 = twips_.PixelsX(105), x1 = twips_.PixelsX(5654);
        GdiObject<HPEN> white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
        {
            Selection use(dc, white.get());
            MoveToEx(dc, x0, y0, nullptr);
            LineTo(dc, x1, y0);
        }
        GdiObject<HPEN> grey(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
        Selection use(dc, grey.get());
        int y1 = twips_.PixelsY(4920);
        MoveToEx(dc, 0, y1, nullptr);
        LineTo(dc, client.right, y1);
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND c = reinterpret_cast<HWND>(lParam);
            if (c == version_) {
                SetTextColor(dc, RGB(255, 255, 0));
                SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
            }
            SetTextColor(dc, c == web_ ? RGB(0, 0, 255) : RGB(0, 0, 0));
            SetBkColor(dc, RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == web_) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // the hand over the link
                return TRUE;
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_COMMAND:
            if (LOWORD(wParam) == kOk || LOWORD(wParam) == IDCANCEL) DestroyWindow(hwnd_);
            else if (LOWORD(wParam) == kWeb && HIWORD(wParam) == STN_CLICKED)
                ShellExecuteW(nullptr, nullptr, kProductWebSite, nullptr, nullptr, SW_SHOWNORMAL);  // failures ignored
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd_);
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        }
    }

    HINSTANCE instance_;
    TwipsPerPixel twips_;
    HWND version_ = nullptr;
    HWND web_ = nullptr;
    GdiObject<HFONT> versionFont_;
    GdiObject<HFONT> textFont_;
};

}  // namespace

std::string ProgramVersionText() {
    wchar_t path[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    unsigned major = 0, minor = 0;
    std::vector<char> data(size ? size : 1);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size && GetFileVersionInfoW(path, 0, size, data.data()) &&
        VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) && info) {
        major = HIWORD(info->dwFileVersionMS);
        minor = LOWORD(info->dwFileVersionMS);
    }
    return "Version : " + std::to_string(major) + "." + std::to_string(minor);
}

void ShowAboutBox(HINSTANCE instance, HWND owner) {
    AboutBox box(instance);
    box.Run(owner);
}

HBITMAP MakeLogoBitmap(int dpi) {
    const double k = dpi > 96 ? dpi / 96.0 : 1.0;
    auto at = [k](int v) { return static_cast<int>(std::lround(v * k)); };
    WindowDc screen(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen.get(), at(102), at(46));
    {
        MemoryDc dc(screen.get());
        Selection useBitmap(dc.get(), bitmap);
        RECT all{0, 0, at(102), at(46)};
        GdiObject<HBRUSH> navy(CreateSolidBrush(RGB(16, 40, 72)));
        FillRect(dc.get(), &all, navy.get());
        GdiObject<HPEN> road(CreatePen(PS_SOLID, at(2), RGB(255, 255, 0)));
        {
            Selection use(dc.get(), road.get());
            POINT pts[] = {{at(4), at(42)}, {at(30), at(34)}, {at(60), at(38)}, {at(98), at(30)}};
            Polyline(dc.get(), pts, 4);
        }
        GdiObject<HFONT> font(FontOfPoints(L"Times New Roman", 14, FW_BOLD));  // points: it follows the dpi itself
        Selection useFont(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), RGB(255, 255, 255));
        TextOutW(dc.get(), at(6), at(4), L"Quorvane", 8);
    }
    return bitmap;
}

}  // namespace qv

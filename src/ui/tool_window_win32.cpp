#include "ui/tool_window_win32.h"

#include "base/gdi_win32.h"
#include "res/resource.h"
#include "ui/twips_win32.h"

namespace qv {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneTool";

// The captions' bold 8.25-point font belongs to the window: it goes when the window goes.
LRESULT CALLBACK ToolWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) GdiObject<HFONT> font(reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

HWND CreateToolWindow(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ToolWindowProc;  // it handles nothing but its own end
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    TwipsPerPixel twips = TwipsPerPixel::OfScreen();
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    RECT frame = twips.Pixels(0, 0, 7605, 2160);
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, L"TimeZone (时区):", style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  instance, nullptr);
    if (!dialog) return nullptr;
    HFONT font = FontOfHeight(L"MS Sans Serif", MulDiv(825, ScreenDpi(), 7200), FW_BOLD);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(font));
    struct Item {
        const wchar_t* cls;
        const wchar_t* text;
        double left, top, width, height;
        DWORD style;
    };
    // The OK button first: it is first in the tab order.
    const Item items[] = {
        {L"BUTTON", L"OK", 6240, 1680, 1215, 375, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {L"STATIC", L"GPS Port (GPS设备串口号):", 480, 240, 2775, 255, SS_LEFT},
        {L"STATIC", L"TimeZone (时区):", 480, 600, 2055, 255, SS_LEFT},
        {L"STATIC", L"Track Temp File (轨迹临时文件):", 480, 960, 3015, 255, SS_LEFT},
    };
    for (const Item& i : items) {
        RECT r = twips.Pixels(i.left, i.top, i.width, i.height);
        HWND c = CreateWindowExW(0, i.cls, i.text, WS_CHILD | WS_VISIBLE | i.style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, dialog, nullptr, instance, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return dialog;
}

}  // namespace qv

#include "marker/marker_window_win32.h"

#include <algorithm>
#include <cmath>

#include "earth/window_api_win32.h"
#include "marker/arrowhead.h"
#include "base/gdi_win32.h"

namespace qv {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneMarker";
constexpr UINT_PTR kRedrawTimer = 1;
// The see-through colour. The background is painted in exactly this colour,
// never a system colour a theme can change (window text is white under High Contrast Black).
constexpr COLORREF kColourKey = RGB(0, 0, 0);

}  // namespace

void MarkerWindow::EnsureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    // The load defaults come before whatever the first use writes.
    azimuth_ = 0;
    north_ = true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));  // the colour key
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    int w = static_cast<int>(std::nearbyint(480 / windows_.TwipsPerPixelX()));
    int h = static_cast<int>(std::nearbyint(495 / windows_.TwipsPerPixelY()));
    RECT r{0, 0, w, h};
    AdjustWindowRectEx(&r, WS_POPUP, FALSE, WS_EX_TOOLWINDOW);
    CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"frmCar", WS_POPUP, -1000, -1000, r.right - r.left,
                    r.bottom - r.top, nullptr, nullptr, instance_, this);
    if (!hwnd_) return;
    InitOverlay();
    SetTimer(hwnd_, kRedrawTimer, 500, nullptr);
}

void MarkerWindow::InitOverlay() {
    LONG style = GetWindowLongA(hwnd_, GWL_EXSTYLE);
    SetWindowLongA(hwnd_, GWL_EXSTYLE, style | WS_EX_LAYERED);
    // Only the colour key counts: exact black is see-through, everything else opaque.
    SetLayeredWindowAttributes(hwnd_, kColourKey, 80, LWA_COLORKEY);
    windows_.SetTopMost(FromHwnd(hwnd_), true);
}

void MarkerWindow::SetAzimuth(double degrees) {
    EnsureLoaded();
    azimuth_ = degrees;
}

void MarkerWindow::SetNorth(bool north) {
    EnsureLoaded();
    north_ = north;
}

int32_t MarkerWindow::Handle() {
    EnsureLoaded();
    return FromHwnd(hwnd_);
}

void MarkerWindow::MoveTo(int32_t leftTwips, int32_t topTwips) {
    EnsureLoaded();
    SetWindowPos(hwnd_, nullptr, static_cast<int>(std::nearbyint(leftTwips / windows_.TwipsPerPixelX())),
                 static_cast<int>(std::nearbyint(topTwips / windows_.TwipsPerPixelY())), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MarkerWindow::Show() {
    EnsureLoaded();
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

void MarkerWindow::ShowCar(bool show) {
    EnsureLoaded();
    ShowWindow(hwnd_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (show) DrawCar(true);
}

void MarkerWindow::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

// One device context and one pen per redraw, both given back before it ends.
void MarkerWindow::DrawCar(bool letEventsRun) {
    if (!hwnd_ || drawing_) return;
    drawing_ = true;
    HWND window = hwnd_;
    WindowDc dc(window);
    RECT all;
    if (dc.get() && ::GetClientRect(window, &all)) {
        GdiObject<HBRUSH> key(CreateSolidBrush(kColourKey));
        FillRect(dc.get(), &all, key.get());
    }
    if (letEventsRun) pump_.ProcessPending();  // the marker may move or turn meanwhile; the figure uses the new values
    int32_t w = 0, h = 0;
    if (hwnd_ == window && dc.get() && GetClientSize(windows_, FromHwnd(window), w, h)) {
        // The window is sized in twips; the figure and its pen grow with it.
        double scale = 15.0 / windows_.TwipsPerPixelX();
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, static_cast<int>(std::lround(5 * std::max(1.0, scale))), RGB(255, 0, 0)));
        Selection use(dc.get(), pen.get());
        auto path = ArrowheadPath(north_, azimuth_, w, h, scale);
        MoveToEx(dc.get(), path[0].x, path[0].y, nullptr);
        for (size_t i = 1; i < path.size(); ++i) LineTo(dc.get(), path[i].x, path[i].y);
    }
    drawing_ = false;
}

LRESULT MarkerWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kRedrawTimer) DrawCar(true);
        return 0;
    case WM_PAINT: {
        { PaintDc paint(hwnd_); }
        DrawCar(false);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

}  // namespace qv

#include "earth/window_api_win32.h"

#include <cstring>

#include "base/gdi_win32.h"
#include "base/text_codec.h"

namespace qv {
namespace {

float TwipsPerPixel(int index) { return 1440.0f / static_cast<float>(ScreenDpi(index)); }

}  // namespace

bool Win32WindowApi::SetTopMost(int32_t hwnd, bool onTop) {
    return SetWindowPos(ToHwnd(hwnd), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != FALSE;
}

std::string Win32WindowApi::GetWindowTitle(int32_t hwnd) {
    char buffer[255] = "";
    int n = GetWindowTextA(ToHwnd(hwnd), buffer, 255);
    if (n <= 0) return {};
    return AnsiToUtf8(std::string_view(buffer, strnlen(buffer, static_cast<size_t>(n))));
}

std::optional<PixelRect> Win32WindowApi::GetWindowRect(int32_t hwnd) {
    RECT r;
    if (!::GetWindowRect(ToHwnd(hwnd), &r)) return std::nullopt;
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

std::optional<PixelRect> Win32WindowApi::GetClientRect(int32_t hwnd) {
    RECT r;
    if (!::GetClientRect(ToHwnd(hwnd), &r)) return std::nullopt;
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

float Win32WindowApi::TwipsPerPixelX() { return TwipsPerPixel(LOGPIXELSX); }
float Win32WindowApi::TwipsPerPixelY() { return TwipsPerPixel(LOGPIXELSY); }
void Win32WindowApi::SetCapture(int32_t hwnd) { ::SetCapture(ToHwnd(hwnd)); }
void Win32WindowApi::ReleaseCapture() { ::ReleaseCapture(); }

bool Win32WindowApi::ClientToScreen(int32_t hwnd, int32_t& x, int32_t& y) {
    POINT p{x, y};
    if (!::ClientToScreen(ToHwnd(hwnd), &p)) return false;
    x = p.x;
    y = p.y;
    return true;
}

int32_t Win32WindowApi::WindowFromPoint(int32_t x, int32_t y) { return FromHwnd(::WindowFromPoint(POINT{x, y})); }

}  // namespace qv

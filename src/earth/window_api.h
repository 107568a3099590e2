#pragma once
// The window operations the program needs; handles are 32-bit, 0 meaning none.
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

struct PixelRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class WindowApi {
public:
    virtual ~WindowApi() = default;
    // Keeps the window above all normal windows (or lets it go back among them).
    virtual bool SetTopMost(int32_t hwnd, bool onTop) = 0;
    // The window's title: at most 254 bytes in the ANSI code page, as UTF-8; empty when it cannot be read.
    virtual std::string GetWindowTitle(int32_t hwnd) = 0;
    // The window's rectangle on the screen, in pixels.
    virtual std::optional<PixelRect> GetWindowRect(int32_t hwnd) = 0;
    // The size of the window's client area, in pixels.
    virtual std::optional<PixelRect> GetClientRect(int32_t hwnd) = 0;
    // Twips per pixel across and down (15 at 96 pixels per inch).
    virtual float TwipsPerPixelX() = 0;
    virtual float TwipsPerPixelY() = 0;
    // For the window picker: all mouse input to `hwnd` wherever the cursor is, and back.
    virtual void SetCapture(int32_t hwnd) = 0;
    virtual void ReleaseCapture() = 0;
    // A point of the window's client area on the screen, in pixels.
    virtual bool ClientToScreen(int32_t hwnd, int32_t& x, int32_t& y) = 0;
    virtual int32_t WindowFromPoint(int32_t x, int32_t y) = 0;
};

// The centre of the window's screen rectangle in twips, rounded half to even
// after the conversion; x and y stay as they are when the window cannot be measured.
void GetWindowCentre(WindowApi& windows, int32_t hwnd, int32_t& x, int32_t& y);

// The client size in pixels; false, with width and height untouched, for handle 0 or a failure.
bool GetClientSize(WindowApi& windows, int32_t hwnd, int32_t& width, int32_t& height);

}  // namespace qv

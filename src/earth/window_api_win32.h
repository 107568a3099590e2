#pragma once
#include <windows.h>

#include "earth/window_api.h"

namespace qv {

inline HWND ToHwnd(int32_t handle) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<uint32_t>(handle)));
}
inline int32_t FromHwnd(HWND hwnd) {
    return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd)));
}

class Win32WindowApi final : public WindowApi {
public:
    bool SetTopMost(int32_t hwnd, bool onTop) override;
    std::string GetWindowTitle(int32_t hwnd) override;
    std::optional<PixelRect> GetWindowRect(int32_t hwnd) override;
    std::optional<PixelRect> GetClientRect(int32_t hwnd) override;
    float TwipsPerPixelX() override;
    float TwipsPerPixelY() override;
    void SetCapture(int32_t hwnd) override;
    void ReleaseCapture() override;
    bool ClientToScreen(int32_t hwnd, int32_t& x, int32_t& y) override;
    int32_t WindowFromPoint(int32_t x, int32_t y) override;
};

}  // namespace qv

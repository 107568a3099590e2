#include "mapview/window_api_win32.h"

namespace qv {

bool Win32WindowApi::SetTopMost(int32_t hwnd, bool onTop) {
    return SetWindowPos(ToHwnd(hwnd), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != FALSE;
}

}  // namespace qv

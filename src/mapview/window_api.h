#pragma once
// The window operations the program needs; handles are 32-bit, 0 meaning none.
#include <cstdint>

namespace qv {

class WindowApi {
public:
    virtual ~WindowApi() = default;
    // Keeps the window above all normal windows (or lets it go back among them).
    virtual bool SetTopMost(int32_t hwnd, bool onTop) = 0;
};

}  // namespace qv

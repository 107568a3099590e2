#pragma once
#include <windows.h>

#include "base/message_pump.h"

namespace qv {

class Win32MessagePump final : public MessagePump {
public:
    void ProcessPending() override {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
};

}  // namespace qv

#pragma once
// The window picker: press on its button and drag, and txtState shows the
// handle and title of the window under the cursor. It only shows.
#include <cmath>
#include <string>

#include "earth/window_api.h"
#include "ui/panel.h"
#include "ui/status_board.h"

namespace qv {

class WindowPicker {
public:
    WindowPicker(WindowApi& windows, StatusBoard& status, PanelState& state, int32_t panelHwnd)
        : windows_(windows), status_(status), state_(state), panelHwnd_(panelHwnd) {}

    void OnPress() {
        // The line shows at once, with what it held before.
        status_.Set(StatusSource::picker, status_.ShownText());
        state_.bPicking = true;
        // The pressed button holds the mouse; the panel takes it, to see the whole drag.
        windows_.ReleaseCapture();
        windows_.SetCapture(panelHwnd_);
    }
    // A mouse move over the panel, at (x, y) client pixels.
    void OnMove(double x, double y) {
        if (!state_.bPicking) return;
        int32_t px = static_cast<int32_t>(std::nearbyint(x)), py = static_cast<int32_t>(std::nearbyint(y));
        if (!windows_.ClientToScreen(panelHwnd_, px, py)) return;
        int32_t h = windows_.WindowFromPoint(px, py);
        status_.Set(StatusSource::picker, "[" + std::to_string(h) + "]" + windows_.GetWindowTitle(h));
    }
    void OnRelease() {
        state_.bPicking = false;
        windows_.ReleaseCapture();
        // A release on the panel also puts away the receiver link's message.
        status_.Clear(StatusSource::picker);
        status_.Clear(StatusSource::link);
    }

private:
    WindowApi& windows_;
    StatusBoard& status_;
    PanelState& state_;
    int32_t panelHwnd_;
};

}  // namespace qv

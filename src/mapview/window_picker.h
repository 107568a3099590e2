#pragma once
// The window picker: press on its button and drag, and txtState shows the
// handle and title of the window under the cursor. It only shows.
#include <cmath>
#include <string>

#include "mapview/window_api.h"
#include "ui/panel.h"
#include "ui/panel_view.h"

namespace qv {

class WindowPicker {
public:
    WindowPicker(WindowApi& windows, PanelView& panel, PanelState& state, int32_t panelHwnd)
        : windows_(windows), panel_(panel), state_(state), panelHwnd_(panelHwnd) {}

    void OnPress() {
        panel_.SetVisible(PanelControl::txtState, true);
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
        panel_.SetText(PanelControl::txtState, "[" + std::to_string(h) + "]" + windows_.GetWindowTitle(h));
    }
    void OnRelease() {
        state_.bPicking = false;
        windows_.ReleaseCapture();
        panel_.SetVisible(PanelControl::txtState, false);
    }

private:
    WindowApi& windows_;
    PanelView& panel_;
    PanelState& state_;
    int32_t panelHwnd_;
};

}  // namespace qv

#pragma once
// The control panel's own logic: its load and close sequences and its view flags.
#include <cstdint>

#include "base/run_log.h"
#include "base/timing.h"
#include "earth/window_api.h"

namespace qv {

// What the load sequence needs of the real window. Positions are in twips.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    virtual double ScreenWidthTwips() = 0;
    virtual double WidthTwips() = 0;
    virtual void MoveTo(double leftTwips, double topTwips) = 0;
    virtual void Show() = 0;
    virtual double LeftTwips() = 0;
    virtual double TopTwips() = 0;
    virtual int32_t Handle() = 0;
    virtual bool FollowChecked() = 0;  // chkGPS
};

struct PanelState {
    bool bZooming = false;
    bool b3D = false;
    bool bNorthUp = false;
    bool bRecordTrack = false;
    bool bLockMap = false;
    bool bPicking = false;
};

class Panel {
public:
    Panel(PanelWindow& window, WindowApi& windows, Sleeper& sleeper, const RunLog& log)
        : window_(window), windows_(windows), sleeper_(sleeper), log_(log) {}

    // Places the panel at the top centre, shows it, makes it top-most and sets the view flags.
    void OnLoad();

    const PanelState& state() const { return state_; }
    PanelState& state() { return state_; }

private:
    PanelWindow& window_;
    WindowApi& windows_;
    Sleeper& sleeper_;
    const RunLog& log_;
    PanelState state_;
};

}  // namespace qv

#include "ui/panel.h"

#include <string>

#include "base/number_text.h"

namespace qv {

void Panel::OnLoad() {
    state_.bZooming = false;
    window_.MoveTo((window_.ScreenWidthTwips() - window_.WidthTwips()) / 2, 0);
    window_.Show();
    log_.LogLine("3. Open Quorvane Window at : " + ShortestFloatText(static_cast<float>(window_.TopTwips())) + "," +
                 ShortestFloatText(static_cast<float>(window_.LeftTwips())));
    // Give the window a moment to appear before it is raised above Google Earth.
    sleeper_.Sleep(1000);
    windows_.SetTopMost(window_.Handle(), true);
    log_.LogLine("4. Set Quorvane Window On Top");
    state_.b3D = false;
    state_.bNorthUp = true;
    state_.bRecordTrack = false;
    // Google Earth's windows are asked for once it is ready (EarthSession).
    state_.bLockMap = window_.FollowChecked();
}

}  // namespace qv

#pragma once
// What the panel's controls and timers set going. The panel window only lays
// out, draws and forwards; the program that puts the parts together acts.
#include <string>

namespace qv {

class PanelActions {
public:
    virtual ~PanelActions() = default;
    // The window exists, hidden: the load sequence (which shows it).
    virtual void OnLoad() = 0;
    virtual void OnReceiverTick(bool simulate) = 0;  // every second; `simulate` while chkTest is checked
    virtual void OnQuickTick() = 0;                  // every EarthSession::kPollMs
    virtual void OnStatePictureDoubleClick(int index) = 0;
    // These return the button's new tooltip.
    virtual std::string OnFollowClick(bool checked) = 0;
    virtual std::string OnTrackSwitch(bool checked) = 0;
    virtual void On3DClick(bool threeD) = 0;
    virtual void OnNorthClick(bool northUp) = 0;
    // These two return when the button is released.
    virtual void OnZoomInPress() = 0;
    virtual void OnZoomOutPress() = 0;
    virtual void OnZoomRelease() = 0;
    virtual void OnPickerPress() = 0;
    virtual void OnPickerMove(double x, double y) = 0;  // client pixels
    virtual void OnPickerRelease() = 0;
    virtual void OnAnyClick() = 0;
    // The spanner: the settings dialog.
    virtual void OnSettingsClick() = 0;
    // A click on the readouts (speed, position, precision, height, time) or the status line over them.
    virtual void OnReadoutClick() = 0;
    // The close sequence, before the window goes; never refused.
    virtual void OnClose() = 0;
};

}  // namespace qv

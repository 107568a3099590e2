#include "ui/view_controls.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace qv {

int32_t ZoomInStep(int32_t eyeHigh) {
    double next = std::nearbyint(eyeHigh * 7.0 / 8.0);
    return next < 400 ? 400 : static_cast<int32_t>(next);
}

int32_t ZoomOutStep(int32_t eyeHigh) {
    double next = eyeHigh + std::nearbyint(eyeHigh / 8.0);
    if (next < 500) return 500;
    return next > INT32_MAX ? INT32_MAX : static_cast<int32_t>(next);
}

void ViewControls::TakeCurrentCamera() {
    if (!earth_.control) return;
    if (auto camera = earth_.control->CurrentView(false)) earth_.camera = std::move(camera);
}

std::string ViewControls::OnFollowClick(bool checked) {
    view_.bLockMap = checked;
    marker_.ShowCar(checked);
    pump_.ProcessPending();
    parkFocus_();
    // The tooltip names what the next click does.
    return checked ? text::kTipUnlockMap : text::kTipLockMap;
}

void ViewControls::OnZoomInPress() {
    view_.bZooming = true;
    bool first = true;
    while (view_.bZooming) {
        EarthBudget::Action step(budget_);
        if (std::exchange(first, false)) TakeCurrentCamera();
        settings_.EyeHigh = ZoomInStep(settings_.EyeHigh);
        if (settings_.EyeHigh == 400) view_.bZooming = false;  // this step still goes out
        // Without Google Earth only the map page zooms, step by step while the button is held.
        bool earthInUse = earth_.connection || earth_.control;
        if (earthInUse && (!earth_.camera || !earth_.camera->SetRange(static_cast<double>(settings_.EyeHigh)))) {
            view_.bZooming = false;
            break;
        }
        if (earth_.control) earth_.control->SetView(*earth_.camera, false, 100.0);
        parkFocus_();
        pump_.ProcessPending();  // the release and the receiver tick are handled here
        sleeper_.Sleep(300);
    }
}

void ViewControls::OnZoomOutPress() {
    view_.bZooming = true;
    bool first = true;
    while (view_.bZooming) {
        EarthBudget::Action step(budget_);
        if (std::exchange(first, false)) TakeCurrentCamera();
        settings_.EyeHigh = ZoomOutStep(settings_.EyeHigh);
        // A refused height does not end the zoom: the release does.
        if (earth_.camera && earth_.camera->SetRange(static_cast<double>(settings_.EyeHigh)) && earth_.control)
            earth_.control->SetView(*earth_.camera, false, 1.0);
        parkFocus_();
        pump_.ProcessPending();
        sleeper_.Sleep(100);
    }
}

void ViewControls::On3DClick(bool threeD) {
    view_.b3D = threeD;
    TakeCurrentCamera();
    if (earth_.camera) {
        if (view_.b3D) {
            std::optional<double> tilt = earth_.camera->Tilt();
            if (tilt && *tilt < 20.0) earth_.camera->SetTilt(45.0);
        } else {
            earth_.camera->SetTilt(0.0);
        }
        if (earth_.control) earth_.control->SetView(*earth_.camera, false, 100.0);
    }
    parkFocus_();
}

void ViewControls::OnNorthClick(bool northUp) {
    view_.bNorthUp = northUp;
    parkFocus_();
}

}  // namespace qv

#include "gps/receiver_link.h"

#include "gps/gps_texts.h"

namespace qv {

void ShowGPSState(int32_t state, PanelView& panel) {
    if (state < -1 || state > 1) return;
    panel.SetVisible(PanelControl::imgGPS0, state == -1);
    panel.SetVisible(PanelControl::imgGPS1, state == 0);
    panel.SetVisible(PanelControl::imgGPS2, state == 1);
}

void ReceiverLink::OpenGPS() {
    fix_.GPSState = -1;
    // A number the port cannot take leaves it on its previous one.
    if (settings_.GpsPort >= -32768 && settings_.GpsPort <= 32767) port_.SetPortNumber(settings_.GpsPort);
    port_.SetSettings(settings_.GpsSetting);
    pump_.ProcessPending();
    status_.Set(StatusSource::link, gps_text::Connecting(settings_.GpsPort));
    pump_.ProcessPending();

    if (!port_.SetOpen(true)) {
        fix_.GPSState = -1;
        ShowGPSState(fix_.GPSState, panel_);
        status_.Set(StatusSource::link, gps_text::NotFound(settings_.GpsPort));
        return;
    }
    fix_.GPSState = 0;
    ShowGPSState(fix_.GPSState, panel_);

    // Start no higher than the configured eye height.
    if (earth_.control)
        if (auto camera = earth_.control->CurrentView(false)) earth_.camera = std::move(camera);
    if (earth_.camera && earth_.control) {
        std::optional<double> range = earth_.camera->Range();
        if (!range || *range > settings_.EyeHigh) {
            earth_.camera->SetRange(static_cast<double>(settings_.EyeHigh));
            earth_.control->SetView(*earth_.camera, false, 1.0);
        }
    }
    fix_.Pdop = -1;
    status_.Clear(StatusSource::link);
}

void ReceiverLink::CloseGPS() {
    port_.SetOpen(false);
    for (int i = 0; i < 4; ++i) pump_.ProcessPending();
}

void ReceiverLink::OnStateImageDoubleClick(int index, const std::function<void()>& reloadSettings) {
    if (index != 0) return;
    reloadSettings();
    OpenGPS();
}

}  // namespace qv

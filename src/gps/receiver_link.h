#pragma once
// Opening and closing the receiver's serial link, and the state icons.
#include <functional>

#include "app/message_pump.h"
#include "app/settings.h"
#include "gps/gps_fix.h"
#include "gps/serial_port.h"
#include "mapview/earth_link.h"
#include "ui/panel_view.h"
#include "ui/status_board.h"

namespace qv {

// Shows the one state picture that matches `state`: red for -1, grey for 0,
// blue for 1; any other value leaves the pictures as they are.
void ShowGPSState(int32_t state, PanelView& panel);

class ReceiverLink {
public:
    ReceiverLink(AppSettings& settings, GpsFix& fix, SerialPort& port, PanelView& panel, StatusBoard& status,
                 MessagePump& pump, EarthLink& earth)
        : settings_(settings), fix_(fix), port_(port), panel_(panel), status_(status), pump_(pump), earth_(earth) {}

    // Opens the configured port, showing what happens in txtState; on success
    // the camera is brought down to the configured eye height. Never fails.
    void OpenGPS();
    void CloseGPS();
    // A double click on state picture `index`: the red one (0) re-reads the
    // settings with `reloadSettings` and opens the link; the others do nothing.
    void OnStateImageDoubleClick(int index, const std::function<void()>& reloadSettings);

private:
    AppSettings& settings_;
    GpsFix& fix_;
    SerialPort& port_;
    PanelView& panel_;
    StatusBoard& status_;
    MessagePump& pump_;
    EarthLink& earth_;
};

}  // namespace qv

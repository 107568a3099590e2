#pragma once
// frmCar: a tiny layered window whose black is see-through, showing the
// vehicle as a red arrowhead over the map. Created on first use.
#include <windows.h>

#include "base/message_pump.h"
#include "earth/window_api.h"
#include "earth/vehicle_marker.h"
#include "base/window_base_win32.h"

namespace qv {

class MarkerWindow final : public WindowBase<MarkerWindow>, public VehicleMarker {
    friend class WindowBase<MarkerWindow>;

public:
    MarkerWindow(HINSTANCE instance, WindowApi& windows, MessagePump& pump)
        : instance_(instance), windows_(windows), pump_(pump) {}
    ~MarkerWindow() override { Unload(); }
    MarkerWindow(const MarkerWindow&) = delete;
    MarkerWindow& operator=(const MarkerWindow&) = delete;

    void SetAzimuth(double degrees) override;
    void SetNorth(bool north) override;
    int32_t Handle() override;
    void MoveTo(int32_t leftTwips, int32_t topTwips) override;
    void Show() override;
    void ShowCar(bool show) override;
    void Unload();

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void EnsureLoaded();
    void InitOverlay();
    void DrawCar(bool letEventsRun);

    HINSTANCE instance_;
    WindowApi& windows_;
    MessagePump& pump_;
    bool loaded_ = false;
    bool drawing_ = false;
    double azimuth_ = 0;
    bool north_ = true;
};

}  // namespace qv

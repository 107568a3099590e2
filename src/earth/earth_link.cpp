#include "earth/earth_link.h"

namespace qv {

bool AttachEarth(EarthLink& link, std::unique_ptr<EarthConnection> connection) {
    if (!connection) return false;
    std::unique_ptr<EarthApp> app = connection->TakeApp();
    if (!app) return false;
    std::unique_ptr<EarthControl> control = connection->TakeControl();
    DropEarth(link);
    link.routes = ChooseEarthRoutes(control != nullptr, connection->ControlKnows());
    link.control = RouteEarthControl(link.routes, std::move(control), *app);
    link.app = std::move(app);
    link.connection = std::move(connection);
    return true;
}

void DropEarth(EarthLink& link) {
    link.camera.reset();
    link.control.reset();
    link.app.reset();
    link.connection.reset();
    link.ready = false;
    link.hGEMain = 0;
    link.hGEMap = 0;
    link.bGotMapWnd = false;
}

bool GetMapWindowHandles(EarthLink& link) {
    // A main window already had is not asked for again: a slow Google Earth may
    // answer only one of the two within one action of the panel.
    std::optional<int32_t> main = link.hGEMain != 0 ? std::optional<int32_t>(link.hGEMain)
                                  : link.app        ? link.app->GetMainHwnd()
                                                    : std::nullopt;
    std::optional<int32_t> map = main && link.app ? link.app->GetRenderHwnd() : std::nullopt;
    link.hGEMain = main.value_or(0);
    if (!map) {
        link.hGEMap = 0;
        return false;
    }
    link.hGEMap = *map;
    return true;
}

void PlaceVehicleMarker(EarthLink& link, VehicleMarker& marker, WindowApi& windows, double azimuth, bool north) {
    marker.SetAzimuth(azimuth);
    marker.SetNorth(north);
    int32_t x = 0, y = 0;
    GetWindowCentre(windows, link.hGEMap, x, y);
    bool moved = x != link.lastCarX || y != link.lastCarY;
    link.lastCarX = x;
    link.lastCarY = y;
    windows.SetTopMost(marker.Handle(), true);
    if (moved) {
        // 240 twips right of and below the marker's corner is the middle of its arrowhead.
        marker.MoveTo(x - 240, y - 240);
        marker.Show();
    }
}

void ParkVehicleMarker(EarthLink& link, VehicleMarker& marker) {
    // As when the map window cannot be measured: its centre counts as (0, 0).
    link.lastCarX = 0;
    link.lastCarY = 0;
    marker.MoveTo(-240, -240);
}

void CapEyeHeight(EarthLink& link, int32_t eyeHigh) {
    if (link.control)
        if (auto camera = link.control->CurrentView(false)) link.camera = std::move(camera);
    if (link.camera && link.control) {
        std::optional<double> range = link.camera->Range();
        if (!range || *range > eyeHigh) {
            link.camera->SetRange(static_cast<double>(eyeHigh));
            link.control->SetView(*link.camera, false, 1.0);
        }
    }
}

bool ShowFileOnMap(EarthLink& link, const std::string& path) {
    // A Google Earth still starting, or gone, is shown the file once it is ready.
    return link.ready && link.control && link.control->OpenFile(path);
}

bool FlyCameraTo(EarthLink& link, int32_t eyeHigh, double latitude, double longitude, bool tilted, double heading,
                 bool north) {
    return link.control && link.control->SetViewParams(latitude, longitude, static_cast<double>(eyeHigh),
                                                       tilted ? 60.0 : 0.0, north ? 0.0 : heading, false, 100.0);
}

}  // namespace qv

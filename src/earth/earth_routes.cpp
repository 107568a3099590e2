#include "earth/earth_routes.h"

namespace qv {
namespace {

bool Knows(const ControlMembers& knows, ControlMember m) { return knows[static_cast<size_t>(m)]; }

class RoutedControl final : public EarthControl {
public:
    RoutedControl(const EarthRoutes& routes, std::unique_ptr<EarthControl> control, EarthApp& app)
        : routes_(routes), control_(std::move(control)), app_(app) {}

    std::unique_ptr<EarthCamera> CurrentView(bool terrain) override {
        return routes_.cameraByApp ? app_.GetCamera(terrain) : control_->CurrentView(terrain);
    }
    bool SetView(EarthCamera& camera, bool terrain, double speed) override {
        return routes_.cameraByApp ? app_.SetCamera(camera, speed) : control_->SetView(camera, terrain, speed);
    }
    bool SetViewParams(double latitude, double longitude, double range, double tilt, double azimuth, bool terrain,
                       double speed) override {
        if (!routes_.flyByApp) return control_->SetViewParams(latitude, longitude, range, tilt, azimuth, terrain, speed);
        // The focus point on the ground (altitude 0, relative to the ground), seen from `range` metres.
        return app_.SetCameraParams(latitude, longitude, 0.0, 1, range, tilt, azimuth, speed);
    }
    bool OpenFile(const std::string& path) override {
        return routes_.openByApp ? app_.OpenKmlFile(path, true) : control_->OpenFile(path);
    }

private:
    EarthRoutes routes_;
    std::unique_ptr<EarthControl> control_;
    EarthApp& app_;
};

}  // namespace

EarthRoutes ChooseEarthRoutes(bool haveControl, const ControlMembers& knows) {
    if (!haveControl) return {true, true, true};
    EarthRoutes routes;
    // A camera from one interface cannot be handed to the other.
    routes.cameraByApp = !Knows(knows, ControlMember::currentView) || !Knows(knows, ControlMember::setView);
    routes.flyByApp = !Knows(knows, ControlMember::setViewParams);
    routes.openByApp = !Knows(knows, ControlMember::openFile);
    return routes;
}

std::string EarthRoutesText(const EarthRoutes& routes) {
    if (!routes.cameraByApp && !routes.flyByApp && !routes.openByApp) return "";
    if (routes.cameraByApp && routes.flyByApp && routes.openByApp) return " (IApplicationGE)";
    std::string members;
    auto add = [&](bool byApp, const char* names) {
        if (byApp) members += (members.empty() ? "" : ", ") + std::string(names);
    };
    add(routes.cameraByApp, "GetCamera, SetCamera");
    add(routes.flyByApp, "SetCameraParams");
    add(routes.openByApp, "OpenKmlFile");
    return " (KHInterface, IApplicationGE " + members + ")";
}

std::unique_ptr<EarthControl> RouteEarthControl(const EarthRoutes& routes, std::unique_ptr<EarthControl> control,
                                                EarthApp& app) {
    if (!control) return std::make_unique<RoutedControl>(EarthRoutes{true, true, true}, nullptr, app);
    if (routes == EarthRoutes{}) return control;
    return std::make_unique<RoutedControl>(routes, std::move(control), app);
}

}  // namespace qv

#include "mapview/earth_link.h"

namespace qv {

bool GetMapWindowHandles(EarthLink& link) {
    std::optional<int32_t> main = link.app ? link.app->GetMainHwnd() : std::nullopt;
    std::optional<int32_t> map = main ? link.app->GetRenderHwnd() : std::nullopt;
    if (!main || !map) {
        link.hGEMain = 0;
        link.hGEMap = 0;
        return false;
    }
    link.hGEMain = *main;
    link.hGEMap = *map;
    return true;
}

bool FlyCameraTo(EarthLink& link, int32_t eyeHigh, double latitude, double longitude, bool tilted, double heading,
                 bool north) {
    return link.control && link.control->SetViewParams(latitude, longitude, static_cast<double>(eyeHigh),
                                                       tilted ? 60.0 : 0.0, north ? 0.0 : heading, false, 100.0);
}

}  // namespace qv

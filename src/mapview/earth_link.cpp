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

}  // namespace qv

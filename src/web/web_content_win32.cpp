#include "web/web_content_win32.h"

#include "base/resource_win32.h"
#include "res/resource.h"

namespace qv {
namespace {

std::string Resource(HMODULE module, int id) { return std::string(ResourceBytes(module, id)); }

}  // namespace

WebContent LoadWebContent(HMODULE module, std::string tileOrigins) {
    return {Resource(module, IDR_WEB_PAGE), Resource(module, IDR_WEB_SCRIPT), Resource(module, IDR_WEB_STYLE),
            std::move(tileOrigins)};
}

}  // namespace qv

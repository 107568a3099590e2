#include "web/web_content_win32.h"

#include "res/resource.h"

namespace qv {
namespace {

std::string Resource(HMODULE module, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, found);
    return bytes ? std::string(static_cast<const char*>(bytes), size) : std::string();
}

}  // namespace

WebContent LoadWebContent(HMODULE module, std::string tileOrigins) {
    return {Resource(module, IDR_WEB_PAGE), Resource(module, IDR_WEB_SCRIPT), Resource(module, IDR_WEB_STYLE),
            std::move(tileOrigins)};
}

}  // namespace qv

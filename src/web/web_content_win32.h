#pragma once
// The map page's files, carried in the program as resources.
#include <windows.h>

#include "web/web_server.h"

namespace qv {

// What `module` carries; a file it lacks is empty (and served as not found).
WebContent LoadWebContent(HMODULE module, std::string tileOrigins);

}  // namespace qv

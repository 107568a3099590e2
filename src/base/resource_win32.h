#pragma once
// The program's own resources, as the build put them in.
#include <windows.h>

#include <string_view>

namespace qv {

// The bytes of RCDATA resource `id` in `module`, valid as long as the module is loaded; empty when it lacks one.
inline std::string_view ResourceBytes(HMODULE module, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes ? std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found))
                 : std::string_view();
}

}  // namespace qv

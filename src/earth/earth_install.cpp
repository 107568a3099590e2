#include "earth/earth_install.h"

#include <cstdint>
#include <vector>

namespace qv {
namespace {

constexpr char kExe[] = "googleearth.exe";
constexpr char kProKey[] = "SOFTWARE\\Google\\Google Earth Pro";

std::string Folder(std::string path) {
    // Registry values are sometimes quoted, and may or may not end in a separator.
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    while (!path.empty() && (path.back() == ' ')) path.pop_back();
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path;
}

}  // namespace

bool IsClassNotRegistered(int32_t hresult) {
    uint32_t hr = static_cast<uint32_t>(hresult);
    return hr == 0x80040154 /* REGDB_E_CLASSNOTREG */ || hr == 0x800401F3 /* CO_E_CLASSSTRING */;
}

std::optional<std::string> FindEarthProExecutable(InstallProbe& probe) {
    std::vector<std::string> candidates;
    for (bool view32 : {false, true}) {
        std::optional<std::string> location = probe.MachineValue(view32, kProKey, "InstallLocation");
        if (!location || location->empty()) continue;
        std::string folder = Folder(*location);
        candidates.push_back(folder + kExe);
        candidates.push_back(folder + "client\\" + kExe);
    }
    for (const char* variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        std::optional<std::string> programs = probe.Environment(variable);
        if (programs && !programs->empty())
            candidates.push_back(Folder(*programs) + "Google\\Google Earth Pro\\client\\" + kExe);
    }
    for (const std::string& path : candidates)
        if (probe.FileExists(path)) return path;
    return std::nullopt;
}

}  // namespace qv

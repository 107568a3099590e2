#pragma once
#include "earth/earth_install.h"

namespace qv {

// The registry, the environment and the file system of this machine.
class Win32InstallProbe final : public InstallProbe {
public:
    std::optional<std::string> MachineValue(bool view32, const std::string& key, const std::string& name) override;
    std::optional<std::string> Environment(const std::string& name) override;
    bool FileExists(const std::string& path) override;
};

}  // namespace qv

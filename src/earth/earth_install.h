#pragma once
// Finding an installed Google Earth Pro whose automation server was never
// registered, so the user can be told the one command that fixes it.
#include <optional>
#include <string>

namespace qv {

// What the search asks of the machine.
class InstallProbe {
public:
    virtual ~InstallProbe() = default;
    // A text value under HKEY_LOCAL_MACHINE, in the 64-bit or the 32-bit view of the registry.
    virtual std::optional<std::string> MachineValue(bool view32, const std::string& key, const std::string& name) = 0;
    virtual std::optional<std::string> Environment(const std::string& name) = 0;
    virtual bool FileExists(const std::string& path) = 0;
};

// True for the answers of a class that is not registered.
bool IsClassNotRegistered(int32_t hresult);

// googleearth.exe of a Google Earth Pro install: where its uninstall entry
// says, then under both Program Files folders. Nothing when there is none.
std::optional<std::string> FindEarthProExecutable(InstallProbe& probe);

}  // namespace qv

#include "earth/earth_install_win32.h"

#include <windows.h>

#include "base/text_codec.h"

namespace qv {

std::optional<std::string> Win32InstallProbe::MachineValue(bool view32, const std::string& key,
                                                           const std::string& name) {
    DWORD view = view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    std::wstring wideKey = Utf8ToWide(key), wideName = Utf8ToWide(name);
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, wideKey.c_str(), wideName.c_str(), RRF_RT_REG_SZ | view, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, wideKey.c_str(), wideName.c_str(), RRF_RT_REG_SZ | view, nullptr,
                     value.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcslen(value.c_str()));
    return WideToUtf8(value);
}

std::optional<std::string> Win32InstallProbe::Environment(const std::string& name) {
    std::wstring wideName = Utf8ToWide(name);
    DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
    value.resize(n);
    return WideToUtf8(value);
}

bool Win32InstallProbe::FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace qv

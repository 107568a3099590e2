#include "base/profile.h"
#include "base/text_codec.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace qv {

std::string Win32ProfileReader::ReadString(const std::string& path, std::string_view section, std::string_view key,
                                           std::string_view defaultText, size_t bufferSize) const {
    if (bufferSize == 0) return {};
    // The buffer starts zeroed: when a two-byte character does not fit at the
    // end, the API reports the full size without writing the last byte.
    std::vector<char> buffer(bufferSize, '\0');
    std::string ansiPath = Utf8ToAnsi(path);
    DWORD n = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                       std::string(defaultText).c_str(), buffer.data(),
                                       static_cast<DWORD>(bufferSize), ansiPath.c_str());
    size_t len = strnlen(buffer.data(), bufferSize);
    return std::string(buffer.data(), n < len ? n : len);
}

}  // namespace qv

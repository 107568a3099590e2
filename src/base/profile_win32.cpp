#include "base/profile.h"
#include "base/text_codec.h"

#include <windows.h>

#include <vector>

namespace qv {

// The wide call with the wide path: a folder named outside the ANSI code page
// (a Korean user name on a Chinese Windows) still finds its file. The file
// stays ANSI, and the value is given back as the "A" call gives it: in the ANSI
// code page, cut to bufferSize - 1 bytes, a two-byte character that does not
// fit at the end left out whole.
std::string Win32ProfileReader::ReadString(const std::string& path, std::string_view section, std::string_view key,
                                           std::string_view defaultText, size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    DWORD n = GetPrivateProfileStringW(Utf8ToWide(AnsiToUtf8(section)).c_str(), Utf8ToWide(AnsiToUtf8(key)).c_str(),
                                       Utf8ToWide(AnsiToUtf8(defaultText)).c_str(), buffer.data(),
                                       static_cast<DWORD>(bufferSize), Utf8ToWide(path).c_str());
    std::string ansi = Utf8ToAnsi(WideToUtf8(std::wstring_view(buffer.data(), n)));
    if (ansi.size() < bufferSize) return ansi;
    size_t keep = 0;
    for (size_t at = 0; at < bufferSize - 1;) {
        size_t width = IsAnsiLeadByte(static_cast<unsigned char>(ansi[at])) ? 2 : 1;
        if (at + width > bufferSize - 1) break;
        at += width;
        keep = at;
    }
    return ansi.substr(0, keep);
}

}  // namespace qv

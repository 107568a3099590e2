#pragma once
// Reading one value from a Windows INI ("private profile") file.
#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

class ProfileReader {
public:
    virtual ~ProfileReader() = default;
    // Looks `key` up in `section` of the INI file at `path` (UTF-8) the way
    // GetPrivateProfileStringA does with a buffer of `bufferSize` bytes: the
    // value in the ANSI code page, at most bufferSize - 1 bytes, or
    // `defaultText` when the file, the section or the key is missing.
    virtual std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                                   std::string_view defaultText, std::size_t bufferSize) const = 0;
};

// Reads the file itself and answers as the Windows profile API does, so the
// native build and the tests see the same values as the program on Windows.
class PortableProfileReader final : public ProfileReader {
public:
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view defaultText, std::size_t bufferSize) const override;
};

// The same lookup on text already in memory (ANSI bytes, or UTF-8/UTF-16 with a byte-order mark).
std::string LookUpProfileText(std::string_view fileText, std::string_view section, std::string_view key,
                              std::string_view defaultText, std::size_t bufferSize);

#ifdef _WIN32
// Goes through the real GetPrivateProfileStringA.
class Win32ProfileReader final : public ProfileReader {
public:
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view defaultText, std::size_t bufferSize) const override;
};
#endif

}  // namespace qv

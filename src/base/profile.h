#pragma once
// Reading one value from a Windows INI ("private profile") file.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// One value to write: `value` in the ANSI code page.
struct ProfileChange {
    std::string section, key, value;
};

// Why a value cannot be written, or nothing when it can: at most 254 bytes (what
// a reader's 255-byte buffer holds), no line break and no NUL.
std::optional<std::string> ProfileValueTrouble(std::string_view value);

// `fileText` (ANSI bytes) with each change made where the profile API reads it:
// the value of the first such key in the first section of that name is replaced
// and nothing else, so comments, blank lines, key order, other sections and keys
// and every other byte stay; a key missing from its section is added after the
// section's last key, a missing section at the end of the file. New lines end
// as the file's do (CR LF, or LF in a file that has only LF). A value the reader
// would change (spaces at its ends, quotes around it) is written in quotes, so
// that it reads back as it was. Nothing when a value cannot be written.
std::optional<std::string> EditProfileText(std::string_view fileText, const std::vector<ProfileChange>& changes);

#ifdef _WIN32
// Goes through the real GetPrivateProfileStringA.
class Win32ProfileReader final : public ProfileReader {
public:
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view defaultText, std::size_t bufferSize) const override;
};
#endif

}  // namespace qv

// Any Config.ini bytes and any value for one of its keys: the edited text reads
// back the value written, every other key reads as before, and nothing crashes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/profile.h"
#include "base/text_codec.h"

namespace {
const char* const kSections[] = {"GE", "GPS", "Track", "Web", "Log"};
const char* const kKeys[] = {"EyeHigh", "Port", "Setting", "Talkers", "Enabled", "TileUrl", "WriteLog"};
// Read as the profile reader pairs bytes: a lead byte takes the next byte unless it is a NUL.
bool EndsInHalfACharacter(std::string_view file) {
    bool half = false;
    for (size_t i = 0; i < file.size();) {
        bool lead = qv::IsAnsiLeadByte(static_cast<unsigned char>(file[i]));
        if (lead && i + 1 < file.size() && file[i + 1] != '\0') {
            i += 2;
        } else {
            half = lead && i + 1 == file.size();
            ++i;
        }
    }
    return half;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::string_view in(reinterpret_cast<const char*>(data) + 2, size - 2);
    size_t cut = in.find('\x01');
    std::string_view file = in.substr(0, cut);
    std::string value = cut == std::string_view::npos ? std::string() : std::string(in.substr(cut + 1));
    qv::ProfileChange change{kSections[data[0] % 5], kKeys[data[1] % 7], value};
    std::optional<std::string> after = qv::EditProfileText(file, {change});
    if (!after) {
        if (!qv::ProfileValueTrouble(value)) std::abort();  // only a value that cannot be written is refused
        return 0;
    }
    // Files in UTF-8 or UTF-16 are converted by the caller before editing; their bytes are not checked here.
    if (file.substr(0, 2) == "\xFF\xFE" || file.substr(0, 2) == "\xFE\xFF" || file.substr(0, 3) == "\xEF\xBB\xBF")
        return 0;
    if (qv::LookUpProfileText(*after, change.section, change.key, "\x02", 255) != value) std::abort();
    // A file ending in half a character: whatever follows it completes that character, so its last line reads
    // otherwise; every other line must read as before.
    if (EndsInHalfACharacter(file)) return 0;
    for (const char* section : kSections)
        for (const char* key : kKeys) {
            if (change.section == section && change.key == key) continue;
            if (qv::LookUpProfileText(*after, section, key, "\x02", 255) !=
                qv::LookUpProfileText(file, section, key, "\x02", 255))
                std::abort();
        }
    return 0;
}

// Config.ini of any content: every key is looked up and converted as at
// start-up; never a crash, and values stay within the lookup's buffer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/profile.h"
#include "base/settings.h"

namespace {

class FuzzedFile final : public qv::ProfileReader {
public:
    explicit FuzzedFile(std::string_view text) : text_(text) {}
    std::string ReadString(const std::string&, std::string_view section, std::string_view key,
                           std::string_view def, size_t size) const override {
        std::string value = qv::LookUpProfileText(text_, section, key, def, size);
        if (value.size() >= size) std::abort();
        return value;
    }

private:
    std::string_view text_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedFile file(std::string_view(reinterpret_cast<const char*>(data), size));
    qv::AppSettings settings;
    qv::LoadSettings(settings, "C:\\Quorvane", file);
    return 0;
}

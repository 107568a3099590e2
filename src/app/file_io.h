#pragma once
// Whole-file reads and one-shot appends and writes; paths are UTF-8. No handle
// is kept between calls.
#include <optional>
#include <string>
#include <string_view>

namespace qv {

std::optional<std::string> ReadWholeFile(const std::string& path);
bool AppendToFile(const std::string& path, std::string_view bytes);
bool WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace qv

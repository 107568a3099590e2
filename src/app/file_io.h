#pragma once
// Whole-file reads and one-shot appends and writes; paths are UTF-8. No handle
// is kept between calls.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

std::optional<std::string> ReadWholeFile(const std::string& path);
bool AppendToFile(const std::string& path, std::string_view bytes);
bool WriteWholeFile(const std::string& path, std::string_view bytes);
// Creates or truncates the file and writes the parts one after the other.
bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts);
// Writes the parts to a sibling file and then puts it in place of `path` in
// one step, so a reader sees either the old file or the whole new one.
bool ReplaceFileWith(const std::string& path, std::initializer_list<std::string_view> parts);

}  // namespace qv

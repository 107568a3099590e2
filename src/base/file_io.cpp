#include "base/file_io.h"

#include <cstdio>

namespace qv {
namespace {

bool Write(const std::string& path, std::string_view bytes, const char* mode) {
    std::FILE* f = OpenCFile(path, mode);
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* f = OpenCFile(path, "rb");
    if (!f) return std::nullopt;
    std::string text;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return std::nullopt;
    return text;
}

bool AppendToFile(const std::string& path, std::string_view bytes) { return Write(path, bytes, "ab"); }

bool ReplaceFileWith(const std::string& path, std::initializer_list<std::string_view> parts, FileSteps& steps) {
    const std::string sibling = path + ".new";
    bool ok = steps.Write(sibling, parts) && steps.Flush(sibling) && steps.Replace(sibling, path) &&
              steps.FlushFolderOf(path);
    if (!ok) steps.Discard(sibling);
    return ok;
}
bool WriteWholeFile(const std::string& path, std::string_view bytes) { return Write(path, bytes, "wb"); }

}  // namespace qv

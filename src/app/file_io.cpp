#include "app/file_io.h"

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <windows.h>

#include "app/text_codec.h"
#endif

namespace qv {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return File(_wfopen(Utf8ToWide(path).c_str(), wmode.c_str()));
#else
    return File(std::fopen(path.c_str(), mode));
#endif
}

bool Write(const std::string& path, std::string_view bytes, const char* mode) {
    File f = Open(path, mode);
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return (std::fclose(f.release()) == 0) && ok;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    File f = Open(path, "rb");
    if (!f) return std::nullopt;
    std::string text;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) text.append(chunk, n);
    if (std::ferror(f.get())) return std::nullopt;
    return text;
}

bool AppendToFile(const std::string& path, std::string_view bytes) { return Write(path, bytes, "ab"); }

bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts) {
    File f = Open(path, "wb");
    if (!f) return false;
    bool ok = true;
    for (std::string_view part : parts) ok = ok && std::fwrite(part.data(), 1, part.size(), f.get()) == part.size();
    return (std::fclose(f.release()) == 0) && ok;
}

bool ReplaceFileWith(const std::string& path, std::initializer_list<std::string_view> parts) {
    const std::string sibling = path + ".new";
#ifdef _WIN32
    std::wstring from = Utf8ToWide(sibling), to = Utf8ToWide(path);
    bool ok = WriteParts(sibling, parts) &&
              MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) DeleteFileW(from.c_str());
#else
    bool ok = WriteParts(sibling, parts) && std::rename(sibling.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(sibling.c_str());
#endif
    return ok;
}
bool WriteWholeFile(const std::string& path, std::string_view bytes) { return Write(path, bytes, "wb"); }

}  // namespace qv

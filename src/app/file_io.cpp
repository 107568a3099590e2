#include "app/file_io.h"

#include <cstdio>
#include <memory>

#ifdef _WIN32
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
bool WriteWholeFile(const std::string& path, std::string_view bytes) { return Write(path, bytes, "wb"); }

}  // namespace qv

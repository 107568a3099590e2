#include "app/file_io.h"

#include <algorithm>
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

#ifdef _WIN32
namespace {

// Owns a file handle for the length of one write.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (!valid()) return true;
        bool ok = CloseHandle(h_) != FALSE;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

}  // namespace

// Straight through the Win32 calls: the C runtime's buffered writes can lose a
// "disk full" on the way out and leave an empty file reported as written.
bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts) {
    FileHandle f(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    LONGLONG expected = 0;
    for (std::string_view part : parts) {
        for (size_t at = 0; at < part.size();) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(part.size() - at, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(f.get(), part.data() + at, chunk, &written, nullptr) || written == 0) return false;
            at += written;
        }
        expected += static_cast<LONGLONG>(part.size());
    }
    // What the file system holds, not what the calls said they wrote.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(f.get(), &size) || size.QuadPart != expected) return false;
    return f.Close();
}
#else
bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts) {
    File f = Open(path, "wb");
    if (!f) return false;
    bool ok = true;
    for (std::string_view part : parts) ok = ok && std::fwrite(part.data(), 1, part.size(), f.get()) == part.size();
    return (std::fclose(f.release()) == 0) && ok;
}
#endif

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

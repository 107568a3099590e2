#include "base/file_io.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <windows.h>

#include "base/text_codec.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
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

// WriteFile takes at most a DWORD at a time, and may write less than asked.
bool WriteAll(HANDLE f, std::string_view bytes) {
    for (size_t at = 0; at < bytes.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(f, bytes.data() + at, chunk, &written, nullptr) || written == 0) return false;
        at += written;
    }
    return true;
}

}  // namespace

// Straight through the Win32 calls: the C runtime's buffered writes can lose a
// "disk full" on the way out and leave an empty file reported as written.
bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts) {
    FileHandle f(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    LONGLONG expected = 0;
    for (std::string_view part : parts) {
        if (!WriteAll(f.get(), part)) return false;
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

#ifdef _WIN32
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool AppendAndFlush(const std::wstring& path, std::string_view bytes, DWORD disposition) {
    FileHandle f(CreateFileW(path.c_str(), FILE_APPEND_DATA, kShareReadWrite, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    if (!WriteAll(f.get(), bytes)) return false;
    return FlushFileBuffers(f.get()) != FALSE && f.Close();
}

// Each write opens the file, writes, flushes and closes it again; between
// writes a read handle that shares no deleting keeps it from being moved,
// deleted or taken over, without holding its folder open for writing.
class Win32DurableFile final : public DurableFile {
public:
    Win32DurableFile(std::wstring path, HANDLE hold) : path_(std::move(path)), hold_(hold) {}
    bool Append(std::string_view bytes) override { return AppendAndFlush(path_, bytes, OPEN_EXISTING); }

private:
    std::wstring path_;
    FileHandle hold_;
};

}  // namespace

std::unique_ptr<DurableFile> DurableFile::Create(const std::string& path, std::string_view first) {
    std::wstring wide = Utf8ToWide(path);
    // A file another DurableFile holds is left as it is.
    FileHandle probe(CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION) return nullptr;
    probe.Close();
    if (!AppendAndFlush(wide, first, CREATE_ALWAYS)) {
        DeleteFileW(wide.c_str());
        return nullptr;
    }
    HANDLE hold = CreateFileW(wide.c_str(), GENERIC_READ, kShareReadWrite, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hold == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32DurableFile>(std::move(wide), hold);
}

std::optional<std::string> ReadUnlessHeld(const std::string& path) {
    // Asking for the file alone fails while a DurableFile holds it.
    FileHandle f(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return std::nullopt;
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(f.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    return text;
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view suffix) {
    std::vector<std::string> out;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Utf8ToWide(folder + "*" + std::string(suffix)).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return out;
    do {
        std::string name = WideToUtf8(found.cFileName);
        // The pattern also matches short names; the long one must end as asked.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(folder + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(out.begin(), out.end());
    return out;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Utf8ToWide(path).c_str()) != FALSE; }

bool RenameFile(const std::string& from, const std::string& to) {
    return MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool MakeFolder(const std::string& path) {
    std::wstring wide = Utf8ToWide(path);
    if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
#else
namespace {

bool AppendAndSync(const std::string& path, std::string_view bytes, int flags) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | flags, 0644);
    if (fd < 0) return false;
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        ok = n > 0;
        if (ok) at += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

// Each write opens, writes, syncs and closes; between writes a lock on a read
// descriptor marks the file as held without keeping it open for writing.
class PosixDurableFile final : public DurableFile {
public:
    PosixDurableFile(std::string path, int hold) : path_(std::move(path)), hold_(hold) {}
    ~PosixDurableFile() override { close(hold_); }
    PosixDurableFile(const PosixDurableFile&) = delete;
    PosixDurableFile& operator=(const PosixDurableFile&) = delete;
    bool Append(std::string_view bytes) override { return AppendAndSync(path_, bytes, 0); }

private:
    std::string path_;
    int hold_;
};

// The folder's entry for a new file is on the disk too.
void SyncFolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

std::unique_ptr<DurableFile> DurableFile::Create(const std::string& path, std::string_view first) {
    int hold = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (hold < 0) return nullptr;
    // Emptied only once it is ours: a file another holds is left as it is.
    if (flock(hold, LOCK_EX | LOCK_NB) != 0 || !AppendAndSync(path, first, O_TRUNC)) {
        close(hold);
        return nullptr;
    }
    SyncFolderOf(path);
    return std::make_unique<PosixDurableFile>(path, hold);
}

std::optional<std::string> ReadUnlessHeld(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    if (held) return std::nullopt;
    return ReadWholeFile(path);
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view suffix) {
    std::vector<std::string> out;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return out;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            FileExists(folder + name))
            out.push_back(folder + name);
    }
    closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
    // A hard link never replaces what is there; then the old name goes.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0) return true;
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
#endif

}  // namespace qv

// The file system through the Win32 calls, with UTF-16 paths.
#include "base/file_io.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "base/text_codec.h"

namespace qv {

std::FILE* OpenCFile(const std::string& path, const char* mode) {
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(Utf8ToWide(path).c_str(), wmode.c_str());
}

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
namespace {

class Win32FileSteps final : public FileSteps {
public:
    bool Write(const std::string& path, std::initializer_list<std::string_view> parts) override {
        return WriteParts(path, parts);
    }
    bool Flush(const std::string& path) override {
        // Flushing through any handle writes out the file's cached data.
        FileHandle f(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        return f.valid() && FlushFileBuffers(f.get()) != FALSE && f.Close();
    }
    bool Replace(const std::string& from, const std::string& to) override {
        return MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    bool FlushFolderOf(const std::string&) override { return true; }  // the move was written through
    void Discard(const std::string& path) override { DeleteFileW(Utf8ToWide(path).c_str()); }
};

}  // namespace

FileSteps& SystemFileSteps() {
    static Win32FileSteps steps;
    return steps;
}

namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The system's own words for an error, in the user's language, without the line end.
std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", n);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    if (message.empty()) message = L"error " + std::to_wstring(error);
    return WideToUtf8(message);
}

bool AppendAndFlush(const std::wstring& path, std::string_view bytes, DWORD disposition) {
    FileHandle f(CreateFileW(path.c_str(), FILE_APPEND_DATA, kShareReadWrite, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    if (!WriteAll(f.get(), bytes)) return false;
    return FlushFileBuffers(f.get()) != FALSE && f.Close();
}

// Each write opens the file, writes, flushes and closes it again; between
// writes a read handle that shares no deleting keeps it from being moved,
// deleted or taken over. No handle stays open for writing: a volume that turns
// read-only under it is not held up.
class Win32DurableFile final : public DurableFile {
public:
    Win32DurableFile(std::wstring path, HANDLE hold) : path_(std::move(path)), hold_(hold) {}
    bool Append(std::string_view bytes) override {
        if (AppendAndFlush(path_, bytes, OPEN_EXISTING)) return true;
        failure_ = SystemMessage(GetLastError());
        return false;
    }
    std::string Failure() const override { return failure_; }

private:
    std::wstring path_;
    FileHandle hold_;
    std::string failure_;
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
    if (hold == INVALID_HANDLE_VALUE) {
        DeleteFileW(wide.c_str());  // not held, it would be taken for a crashed recording's
        return nullptr;
    }
    return std::make_unique<Win32DurableFile>(std::move(wide), hold);
}

std::optional<std::string> ReadUnlessHeld(const std::string& path) {
    // Asking for the file alone fails while a DurableFile holds it.
    FileHandle f(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return std::nullopt;
    std::string text;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(f.get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;  // not read whole
        if (got == 0) return text;
        text.append(chunk, got);
    }
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

// A file, as on POSIX: a folder of that name is none.
bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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
}  // namespace qv

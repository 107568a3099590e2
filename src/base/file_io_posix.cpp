// The file system through POSIX calls.
#include "base/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qv {

std::FILE* OpenCFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts) {
    std::FILE* f = OpenCFile(path, "wb");
    if (!f) return false;
    bool ok = true;
    for (std::string_view part : parts) ok = ok && std::fwrite(part.data(), 1, part.size(), f) == part.size();
    return (std::fclose(f) == 0) && ok;
}

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
    bool Append(std::string_view bytes) override {
        if (AppendAndSync(path_, bytes, 0)) return true;
        failure_ = std::strerror(errno);
        return false;
    }
    std::string Failure() const override { return failure_; }

private:
    std::string path_;
    int hold_;
    std::string failure_;
};

// The folder's entry for a new file is on the disk too.
bool SyncFolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

class PosixFileSteps final : public FileSteps {
public:
    bool Write(const std::string& path, std::initializer_list<std::string_view> parts) override {
        return WriteParts(path, parts);
    }
    bool Flush(const std::string& path) override {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        bool ok = fsync(fd) == 0;
        return close(fd) == 0 && ok;
    }
    bool Replace(const std::string& from, const std::string& to) override {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }
    bool FlushFolderOf(const std::string& path) override { return SyncFolderOf(path); }
    void Discard(const std::string& path) override { std::remove(path.c_str()); }
};

}  // namespace

FileSteps& SystemFileSteps() {
    static PosixFileSteps steps;
    return steps;
}

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
}  // namespace qv

#pragma once
// A fresh folder for one test, removed afterwards.
#include <atomic>
#include <filesystem>
#include <string>

#include "base/file_io.h"

namespace qv::test {

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("qvtest_" + std::to_string(Pid()) + "_" + std::to_string(counter++));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string p = File(name);
        WriteWholeFile(p, bytes);
        return p;
    }

private:
    static long Pid();
    std::filesystem::path path_;
};

}  // namespace qv::test

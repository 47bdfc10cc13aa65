#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kubelmar::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& tag = "kubelmar_test")
        : path_(std::filesystem::temp_directory_path() / (tag + "_" + std::to_string(getpid()) + "_" + std::to_string(counter_++))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to `name` (folders created) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return file(name);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

}  // namespace kubelmar::test

#pragma once

#include <filesystem>
#include <string>

namespace velkaron::testing_support {

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const {
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

// Whole-file helpers for tests.
[[nodiscard]] std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

}  // namespace velkaron::testing_support

#pragma once

// What the session fuzzers share: a fresh folder per session, memory files for the standard
// streams, and the checks every response and every saved vault must pass.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include <nlohmann/json.hpp>

#include "base/posix.hpp"
#include "vault/vault_json.hpp"

namespace velkaron::fuzzing {

namespace fs = std::filesystem;

inline void check(bool condition) {
    if (!condition) std::abort();
}

// A fresh folder for one session, removed with it. Saves flush to stable storage; on a
// memory file system that costs nothing.
class Folder {
  public:
    Folder() {
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "velkaron-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    [[nodiscard]] const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

inline int memory_file(std::string_view content) {
    const int fd = ::memfd_create("session", MFD_CLOEXEC);
    check(fd >= 0);
    check(write_all(fd, content) == 0);
    check(::lseek(fd, 0, SEEK_SET) == 0);
    return fd;
}

inline std::string read_back(int fd) {
    std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    check(::pread(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    return text;
}

// One compact response object: id, ok, then data or error, and nothing else.
inline void check_response(std::string_view text, std::uint64_t id) {
    const auto response = nlohmann::ordered_json::parse(text, nullptr, false);
    check(response.is_object() && response.size() == 3);
    auto member = response.begin();
    check(member.key() == "id" && member->is_number_unsigned() && *member == id);
    ++member;
    check(member.key() == "ok" && member->is_boolean());
    const bool ok = member->get<bool>();
    ++member;
    check(member.key() == (ok ? "data" : "error"));
    if (!ok) check(member->is_string());
    check(response.dump(-1, ' ', false) == text);
}

// Whatever the requests did, a save never leaves a vault that does not read.
inline void check_vault(const fs::path& vault) {
    if (!fs::exists(vault)) return;
    std::ifstream file(vault, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    const auto saved = parse_vault(text);
    check(saved && saved->version == VAULT_VERSION);
}

}  // namespace velkaron::fuzzing

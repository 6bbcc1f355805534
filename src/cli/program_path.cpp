#include "cli/program_path.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace velkaron::cli {

std::optional<std::string> find_in_path(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const auto end = folders.find(':');
        const std::string_view folder = folders.substr(0, end);
        folders = end == std::string_view::npos ? std::string_view() : folders.substr(end + 1);
        if (folder.empty()) continue;  // an empty entry would mean the working folder
        std::string candidate = std::string(folder) + "/" + std::string(name);
        if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string own_executable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace velkaron::cli

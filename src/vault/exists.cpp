#include "vault/exists.hpp"

#include <sys/stat.h>

namespace velkaron {

bool vault_exists(const std::string& path) noexcept {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace velkaron

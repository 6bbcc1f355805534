#include "vault/exists.hpp"

#include <sys/stat.h>

namespace velkaron {

bool vault_exists(const HostState& state) noexcept {
    struct stat info {};
    return ::stat(state.path.c_str(), &info) == 0;
}

}  // namespace velkaron

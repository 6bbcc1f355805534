#include "native/private_folder.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "base/os_error.hpp"

namespace velkaron {

Status make_private_folder(const std::string& path) {
    // Top down, so that every folder made has its parent; a slash at position 0 is the root.
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (!folder.ends_with('/') && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return fail("Ordner nicht anlegbar: " + folder + ": " + os_error(errno));
        }
        if (slash == std::string::npos) return {};
    }
}

}  // namespace velkaron

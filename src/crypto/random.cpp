#include "crypto/random.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "base/fatal.hpp"
#include "base/os_error.hpp"

namespace velkaron {
namespace {

// getentropy refuses requests above this size.
constexpr std::size_t MAX_ENTROPY_REQUEST = 256;

}  // namespace

void fill_random(std::span<unsigned char> out, std::string_view fatal_prefix) {
    while (!out.empty()) {
        const std::size_t chunk = std::min(out.size(), MAX_ENTROPY_REQUEST);
        if (::getentropy(out.data(), chunk) != 0) {
            fatal(std::string(fatal_prefix) + os_error(errno));
        }
        out = out.subspan(chunk);
    }
}

SecretBytes random_bytes(std::size_t size) {
    SecretBytes bytes(size);
    fill_random({bytes.data(), bytes.size()});
    return bytes;
}

}  // namespace velkaron

#include "crypto/sodium.hpp"

#include <sodium.h>

#include "base/fatal.hpp"

namespace velkaron {

void init_sodium() noexcept {
    static const bool ready = sodium_init() >= 0;
    if (!ready) fatal("Error: libsodium could not be initialised");
}

}  // namespace velkaron

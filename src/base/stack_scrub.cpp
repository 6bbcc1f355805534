#include "base/stack_scrub.hpp"

#include <sodium.h>

namespace velkaron {

// Not inlined, so that its block lies below the caller's frame, where the callee frames were.
[[gnu::noinline]] void scrub_stack() noexcept {
    unsigned char block[STACK_SCRUB_BYTES];
    sodium_memzero(block, sizeof block);
}

}  // namespace velkaron

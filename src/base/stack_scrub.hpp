#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>

namespace velkaron {

// How far below the request loop's frame the stack is zeroed after each request. Optimised,
// the deepest request (create: Argon2id, sealing, saving) reaches 9.6 KiB below the loop; a
// status, which only parses its line and asks whether the file exists, 2.6 KiB whatever the
// line holds, since the parser keeps its nesting on the heap. Unoptimised and sanitizer builds
// have frames many times larger.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELKARON_SANITIZED 1
#endif
#endif
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__) && !defined(VELKARON_SANITIZED)
inline constexpr std::size_t STACK_SCRUB_BYTES = 16 * 1024;
inline constexpr std::size_t STATUS_STACK_SCRUB_BYTES = 4 * 1024;
#else
inline constexpr std::size_t STACK_SCRUB_BYTES = 256 * 1024;
inline constexpr std::size_t STATUS_STACK_SCRUB_BYTES = STACK_SCRUB_BYTES;
#endif

// How deep the frames of the request just answered may have reached: `status`, which clients
// poll, stays shallow and is scrubbed accordingly; anything else gets the full depth.
enum class StackReach : std::uint8_t { Shallow, Any };

// Zeroes `Bytes` of stack below the caller's frame. Not inlined, so that its block lies where
// the callee frames were.
template <std::size_t Bytes>
[[gnu::noinline]] void zero_stack_below() noexcept {
    unsigned char block[Bytes];
    sodium_memzero(block, sizeof block);
}

// Zeroes the stack below the caller's frame as deep as `reach` says, where the frames of the
// request just answered lay: secrets land there in fixed arrays, spilled registers, the working
// state of the ciphers and short strings that no destructor wipes (the JSON lexer keeps up to
// 15 bytes of every token inline). Inlined, so that the block starts right below the loop's
// frame. The memory-scan test fails when a request reaches deeper.
[[gnu::always_inline]] inline void scrub_stack(StackReach reach) noexcept {
    if (reach == StackReach::Shallow) {
        zero_stack_below<STATUS_STACK_SCRUB_BYTES>();
    } else {
        zero_stack_below<STACK_SCRUB_BYTES>();
    }
}

}  // namespace velkaron

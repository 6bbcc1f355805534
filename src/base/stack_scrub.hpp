#pragma once

#include <cstddef>

namespace velkaron {

// How far below the request loop's frame the stack is zeroed after each request. Optimised,
// the deepest request (create: Argon2id, sealing, saving) reaches 9.6 KiB below the loop and a
// status 2.6 KiB; 16 KiB stays within the first-level cache, so the scrub costs a status
// request little. Unoptimised and sanitizer builds have frames many times larger.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELKARON_SANITIZED 1
#endif
#endif
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__) && !defined(VELKARON_SANITIZED)
inline constexpr std::size_t STACK_SCRUB_BYTES = 16 * 1024;
#else
inline constexpr std::size_t STACK_SCRUB_BYTES = 256 * 1024;
#endif

// Zeroes STACK_SCRUB_BYTES of stack below the caller's frame, where the frames of the request
// just answered lay: secrets land there in fixed arrays, spilled registers, the working state
// of the ciphers and short strings that no destructor wipes (the JSON lexer keeps up to 15
// bytes of every token inline). The memory-scan test fails when a request reaches deeper.
void scrub_stack() noexcept;

}  // namespace velkaron

#pragma once

#include <cstddef>

namespace velkaron {

// How far below the request loop's frame the stack is zeroed after each request. The deepest
// request (an Argon2id derivation, a vault parse) uses well under half of it; see scrub_stack.
inline constexpr std::size_t STACK_SCRUB_BYTES = 64 * 1024;

// Zeroes STACK_SCRUB_BYTES of stack below the caller's frame, where the frames of the request
// just answered lay: secrets land there in fixed arrays, spilled registers and short strings
// that no destructor wipes (the JSON lexer keeps up to 15 bytes of every token inline).
void scrub_stack() noexcept;

}  // namespace velkaron

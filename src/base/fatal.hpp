#pragma once

#include <string_view>

namespace velkaron {

// Runs before a fatal exit, so that key material held by the request loop is wiped
// even though no destructor on the stack will run.
void set_fatal_cleanup(void (*cleanup)(void*), void* context) noexcept;

// Ends the process at once: the message and a line feed on standard error, exit status 101.
[[noreturn]] void fatal(std::string_view message) noexcept;

}  // namespace velkaron

#include "base/fatal.hpp"

#include <unistd.h>

#include <cstdlib>

#include "base/posix.hpp"

namespace velkaron {
namespace {

void (*g_cleanup)(void*) = nullptr;
void* g_context = nullptr;

}  // namespace

void set_fatal_cleanup(void (*cleanup)(void*), void* context) noexcept {
    g_cleanup = cleanup;
    g_context = context;
}

void fatal(std::string_view message) noexcept {
    if (g_cleanup != nullptr) g_cleanup(g_context);
    // Nothing more can be done when standard error is gone.
    (void)write_all(STDERR_FILENO, message);
    (void)write_all(STDERR_FILENO, "\n");
    std::_Exit(101);
}

}  // namespace velkaron

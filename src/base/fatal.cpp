#include "base/fatal.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace velkaron {
namespace {

void (*g_cleanup)(void*) = nullptr;
void* g_context = nullptr;

void write_all_stderr(std::string_view text) noexcept {
    while (!text.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

void set_fatal_cleanup(void (*cleanup)(void*), void* context) noexcept {
    g_cleanup = cleanup;
    g_context = context;
}

void fatal(std::string_view message) noexcept {
    if (g_cleanup != nullptr) g_cleanup(g_context);
    write_all_stderr(message);
    write_all_stderr("\n");
    std::_Exit(101);
}

}  // namespace velkaron

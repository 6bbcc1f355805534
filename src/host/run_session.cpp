#include "host/run_session.hpp"

#include <malloc.h>
#include <unistd.h>

#include <exception>
#include <new>
#include <string_view>

#include "base/fatal.hpp"
#include "crypto/sodium.hpp"
#include "host/hardening.hpp"

namespace velkaron {
namespace {

constexpr std::string_view OUT_OF_MEMORY = "Error: memory allocation failed";

// Reached only when an exception leaves a function that may not throw; ends as every fatal
// failure does, with the key wiped first.
[[noreturn]] void on_terminate() noexcept {
    try {
        if (const std::exception_ptr failure = std::current_exception()) {
            std::rethrow_exception(failure);
        }
    } catch (const std::bad_alloc&) {
        fatal(OUT_OF_MEMORY);
    } catch (...) {
    }
    fatal("Error: unexpected internal failure");
}

// Large blocks (an import's request line and file, the answers of list and export) come from
// the heap and go back to it when freed, wiped as every block is, for the next request to
// reuse, instead of being mapped anew each time: on a busy machine the first touch of fresh
// pages costs more than the work done in them.
void keep_large_blocks() noexcept {
    constexpr int LARGEST_HEAP_BLOCK = 32 << 20;  // the most glibc allows
    constexpr int KEPT_AT_THE_TOP = 64 << 20;
    (void)::mallopt(M_MMAP_THRESHOLD, LARGEST_HEAP_BLOCK);
    (void)::mallopt(M_TRIM_THRESHOLD, KEPT_AT_THE_TOP);
}

}  // namespace

int run_session(HostState& state, Serve serve) {
    harden_process();
    keep_large_blocks();
    init_sodium();
    set_fatal_cleanup([](void* s) { static_cast<HostState*>(s)->lock(); }, &state);
    std::set_terminate(on_terminate);
    try {
        serve(state, STDIN_FILENO, STDOUT_FILENO);
    } catch (const std::bad_alloc&) {
        // The stack is unwound by now, and with it every secret of the request.
        fatal(OUT_OF_MEMORY);
    }
    state.lock();
    return 0;
}

}  // namespace velkaron

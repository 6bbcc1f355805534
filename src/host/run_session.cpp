#include "host/run_session.hpp"

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

}  // namespace

int run_session(HostState& state, Serve serve) {
    harden_process();
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

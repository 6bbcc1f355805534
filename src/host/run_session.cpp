#include "host/run_session.hpp"

#include <unistd.h>

#include "base/fatal.hpp"
#include "crypto/sodium.hpp"
#include "host/hardening.hpp"

namespace velkaron {

int run_session(HostState& state, Serve serve) {
    harden_process();
    init_sodium();
    set_fatal_cleanup([](void* s) { static_cast<HostState*>(s)->lock(); }, &state);
    serve(state, STDIN_FILENO, STDOUT_FILENO);
    state.lock();
    return 0;
}

}  // namespace velkaron

#include "host/hardening.hpp"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <csignal>

namespace velkaron {

void harden_process() noexcept {
    const rlimit no_core{0, 0};
    // Best effort: a host that cannot harden itself still serves.
    (void)::setrlimit(RLIMIT_CORE, &no_core);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // Past the limit write(2) then fails with EFBIG, which the save reports.
    (void)std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace velkaron

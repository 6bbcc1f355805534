#include "cli/hardening.hpp"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <clocale>
#include <csignal>

namespace velkaron::cli {

void harden_process() noexcept {
    const rlimit no_core{0, 0};
    (void)setrlimit(RLIMIT_CORE, &no_core);
    (void)prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    std::signal(SIGPIPE, SIG_IGN);
    // Line editing counts characters, not bytes, in the user's encoding.
    std::setlocale(LC_CTYPE, "");
}

}  // namespace velkaron::cli

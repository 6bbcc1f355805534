#include "host/hardening.hpp"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <csignal>

#include "crypto/secret.hpp"

namespace velkaron {
namespace {

constexpr int TERMINATING_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

// Wipes and releases the key, then dies of the same signal: the handler was reset to the
// default on entry, and the signal raised here arrives as soon as the handler returns.
void die_without_key(int signal) {
    release_vault_keys();
    (void)::raise(signal);
}

}  // namespace

void harden_process() noexcept {
    const rlimit no_core{0, 0};
    // Best effort: a host that cannot harden itself still serves.
    (void)::setrlimit(RLIMIT_CORE, &no_core);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // Past the limit write(2) then fails with EFBIG, which the save reports.
    (void)std::signal(SIGXFSZ, SIG_IGN);

    struct sigaction wipe {};
    wipe.sa_handler = die_without_key;
    wipe.sa_flags = SA_RESETHAND;
    sigemptyset(&wipe.sa_mask);
    for (const int signal : TERMINATING_SIGNALS) sigaddset(&wipe.sa_mask, signal);
    for (const int signal : TERMINATING_SIGNALS) (void)::sigaction(signal, &wipe, nullptr);
}

}  // namespace velkaron

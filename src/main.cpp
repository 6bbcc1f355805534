// velkaron-vault VAULT_PATH: serves one JSON request per line on standard input with one JSON
// response per line on standard output.

#include <unistd.h>

#include <csignal>
#include <string_view>

#include "base/fatal.hpp"
#include "base/posix.hpp"
#include "base/utf8.hpp"
#include "crypto/sodium.hpp"
#include "host/hardening.hpp"
#include "host/line_session.hpp"
#include "state/host_state.hpp"

namespace {

void write_stderr(std::string_view text) {
    (void)velkaron::write_all(STDERR_FILENO, text);
}

}  // namespace

int main(int argc, char** argv) {
    // A client that goes away must make writes fail, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);

    if (argc < 2) {
        write_stderr("Aufruf: velkaron-vault <pfad-zur-tresordatei>\n");
        return 2;
    }
    const std::string_view path = argv[1];
    velkaron::Utf8Scanner scanner;
    if (!scanner.feed(path) || !scanner.complete()) {
        write_stderr("Tresorpfad ist kein gültiges UTF-8\n");
        return 2;
    }
    velkaron::harden_process();
    velkaron::init_sodium();

    velkaron::HostState state{std::string(path)};
    velkaron::set_fatal_cleanup([](void* s) { static_cast<velkaron::HostState*>(s)->lock(); },
                                &state);
    velkaron::serve_lines(state, STDIN_FILENO, STDOUT_FILENO);
    state.lock();
    return 0;
}

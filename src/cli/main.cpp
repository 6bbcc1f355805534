// velkaron: the vault for people at a terminal, a client of velkaron-vault.

#include "cli/app.hpp"
#include "cli/hardening.hpp"

int main(int argc, char** argv) {
    velkaron::cli::harden_process();
    return velkaron::cli::run_cli(argc, argv);
}

// Writes a vault of COUNT logins to PATH exactly as the load driver prepares its vaults, for
// the browser tests' large vault. Prints what opens it as one JSON line.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "crypto/sodium.hpp"
#include "prepared_vault.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("Aufruf: velkaron_prepared_vault <pfad> <anzahl>\n", stderr);
        return 2;
    }
    velkaron::init_sodium();
    try {
        const auto prepared = velkaron::bench::prepare_vault(argv[1], std::stoul(argv[2]));
        const nlohmann::json opens = {{"password", velkaron::bench::MASTER_PASSWORD},
                                      {"recoveryCode", prepared.recovery_code},
                                      {"count", prepared.count}};
        std::cout << opens.dump() << '\n';
        return 0;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}

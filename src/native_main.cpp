// velkaron-native chrome-extension://ID/ (Chromium) or velkaron-native MANIFEST ID (Firefox):
// the vault host as a browser starts it for an extension, serving one JSON request per native
// message with the vault its configuration names. velkaron-native install …: registers it with a
// browser for the current user. velkaron-native --help: the usage.

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/posix.hpp"
#include "host/native_session.hpp"
#include "host/run_session.hpp"
#include "native/extension_id.hpp"
#include "native/install.hpp"
#include "native/settings.hpp"
#include "state/host_state.hpp"

namespace {

using namespace velkaron;

constexpr std::string_view USAGE = "Aufruf: velkaron-native chrome-extension://<id>/";

// For a person at a terminal; the browser never passes these.
bool asks_for_help(std::span<const std::string_view> args) {
    return !args.empty() && (args[0] == "--help" || args[0] == "-h");
}

int help() {
    std::string text(USAGE);
    text += "\n        ";
    text += std::string(INSTALL_USAGE).substr(std::string_view("Aufruf: ").size());
    text +=
        "\n\n"
        "Chromium und Chrome starten velkaron-native mit dem Ursprung der Erweiterung\n"
        "(chrome-extension://<id>/), Firefox mit dem absoluten Pfad des Host-Manifests\n"
        "und der Id der Erweiterung; beide tauschen Native Messages über Standardein- und\n"
        "-ausgabe aus.\n"
        "  install              meldet den Host für den aktuellen Benutzer beim Browser an\n"
        "  install --uninstall  meldet ihn wieder ab\n"
        "  -h, --help           zeigt diese Hilfe\n";
    return write_all(STDOUT_FILENO, text) == 0 ? 0 : 1;
}

// The extension this build is made for: its Chromium id (extension/extension-id.txt) and its
// gecko id (extension/manifest.json).
constexpr std::string_view BUILT_IN_EXTENSION_ID = VELKARON_EXTENSION_ID;
constexpr std::string_view BUILT_IN_GECKO_ID = VELKARON_GECKO_ID;

const char* environment(const char* name) {
    return std::getenv(name);
}

// Nothing has been read from standard input when the host gives up at start.
int refuse(std::string_view message, int status = 2) {
    std::string line(message);
    line += '\n';
    (void)write_all(STDERR_FILENO, line);
    return status;
}

int install_command(std::span<const std::string_view> args) {
    auto request = parse_install_options(args);
    if (!request) return refuse(request.error() + "\n" + std::string(INSTALL_USAGE));
    auto dirs = base_dirs(environment);
    if (!dirs) return refuse(dirs.error(), 1);
    auto binary = host_binary_path();
    if (!binary) return refuse(binary.error(), 1);
    const InstallContext context{
        *dirs, *binary, {std::string(BUILT_IN_EXTENSION_ID), std::string(BUILT_IN_GECKO_ID)}};
    auto done = run_install(*request, context);
    if (!done) return refuse(done.error(), 1);
    std::string report;
    for (const std::string& line : *done) report += line + '\n';
    (void)write_all(STDOUT_FILENO, report);
    return 0;
}

int host(std::span<const std::string_view> args) {
    auto dirs = base_dirs(environment);
    if (!dirs) return refuse(dirs.error());
    auto config = load_config(*dirs);
    if (!config) return refuse(config.error());
    if (args.empty()) return refuse(USAGE);
    std::vector<std::string> allowed{std::string(BUILT_IN_EXTENSION_ID),
                                     std::string(BUILT_IN_GECKO_ID)};
    allowed.insert(allowed.end(), config->allowed_extensions.begin(),
                   config->allowed_extensions.end());
    if (!caller_allowed(args, allowed)) {
        return refuse("Erweiterung nicht zugelassen: " + std::string(named_caller(args)));
    }
    auto vault = vault_to_serve(*dirs, *config);
    if (!vault) return refuse(vault.error());
    HostState state{std::move(*vault)};
    return run_session(state, serve_frames);
}

}  // namespace

int main(int argc, char** argv) {
    // A browser that closes the port must make writes fail, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const std::span<const std::string_view> rest(args);
    if (asks_for_help(rest)) return help();
    if (!args.empty() && args[0] == "install") return install_command(rest.subspan(1));
    return host(rest);
}

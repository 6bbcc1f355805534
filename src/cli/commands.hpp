#pragma once

// The subcommands, each a function of the parsed arguments and a session with the host. A
// command gives the fields it reports; output.cpp prints them plain or as JSON.

#include <optional>
#include <string>
#include <vector>

#include "cli/host_link.hpp"
#include "cli/outcome.hpp"
#include "cli/secrets.hpp"
#include "cli/vault_choice.hpp"

namespace velkaron::cli {

// Every option and argument any subcommand takes; each subcommand reads its own.
struct Arguments {
    std::optional<std::string> vault;
    std::optional<std::string> host_binary;
    bool password_stdin = false;
    bool json = false;

    std::vector<std::string> target;  // ID|HOST [USER], or HOST [USER] for add
    std::optional<std::string> filter;
    std::optional<std::string> title;
    std::optional<unsigned> generate;  // the length; 0 when --generate came without one
    std::optional<unsigned> length;
    bool show = false;
    bool with_password = false;
    bool yes = false;
    bool replace = false;
    bool force = false;
    unsigned clear_seconds = 0;
    std::string file;
    double idle_minutes = 0;
};

// A host on the chosen vault, unlocked once with the master password when a command needs it.
struct Session {
    VaultChoice vault;
    HostLink host;
    SecretSource secrets;
    bool may_ask = false;  // questions can go to a terminal
    bool unlocked = false;

    [[nodiscard]] Done unlock();
};

using CommandRun = Outcome<Json> (*)(Session&, const Arguments&);
using CommandPrint = void (*)(const Json&, const Arguments&);

struct Command {
    std::string_view name;
    CommandRun run;
    CommandPrint print_plain;
    bool needs_vault_unlocked;  // unlocked before run; the others unlock where they need to
    bool takes_entry;           // its first argument names a stored login
};

// Every subcommand but `shell` and `where`, which run without a session or around one.
[[nodiscard]] const Command* find_command(std::string_view name);
[[nodiscard]] std::vector<std::string> command_names();

// Whether the session goes on after a command (the shell), or the host's input ends as soon
// as the command has its answers, so that the host ends while the report is printed.
enum class Ending { Session, Host };

// Runs `command` and prints its report; what went wrong is returned, not printed.
[[nodiscard]] Done run_and_print(const Command& command, Session& session, const Arguments& args,
                                 Ending ends);

}  // namespace velkaron::cli

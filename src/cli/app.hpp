#pragma once

#include <CLI/CLI.hpp>

#include "cli/commands.hpp"

namespace velkaron::cli {

// The subcommands and their options, bound to `args`. The shell's lines are parsed by an app
// made the same way without the process-wide options and without `init`, `shell` and `where`.
void define_subcommands(CLI::App& app, Arguments& args, bool in_shell);

// The subcommand the parse chose, or null.
[[nodiscard]] const CLI::App* chosen_subcommand(const CLI::App& app);

// Runs the process: returns the exit status.
int run_cli(int argc, char** argv);

}  // namespace velkaron::cli

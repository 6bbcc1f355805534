#pragma once

#include "cli/commands.hpp"

namespace velkaron::cli {

// Unlocks once, then runs subcommands typed as lines, with line editing and completion of
// subcommands and hosts. History lives only in memory and takes only lines that parsed as a
// subcommand; secrets are asked for outside the line editor. Locks after `args.idle_minutes`
// without input and at the end of input.
[[nodiscard]] Done run_shell(Session& session, const Arguments& args);

}  // namespace velkaron::cli

#pragma once

#include "state/host_state.hpp"

namespace velkaron {

// A request loop over standard input and output: serve_lines or serve_frames.
using Serve = void (*)(HostState& state, int input_fd, int output_fd);

// What both host programs do once they know their vault: harden the process, ready libsodium,
// make a fatal exit lock the state first, serve until the loop returns, lock. Gives the exit
// status, 0. An allocation that fails anywhere ends the process through the fatal exit
// (status 101, the key wiped first), never through an abort.
[[nodiscard]] int run_session(HostState& state, Serve serve);

}  // namespace velkaron

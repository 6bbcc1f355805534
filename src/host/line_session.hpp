#pragma once

#include "state/host_state.hpp"

namespace velkaron {

// The request loop of velkaron-vault: one response line per non-blank request line, flushed
// before the next line is read. Returns at end of input, on a read error, on a line that is
// not UTF-8 and when a response cannot be written. The caller locks the state afterwards.
void serve_lines(HostState& state, int input_fd, int output_fd);

}  // namespace velkaron

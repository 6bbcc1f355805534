#pragma once

#include "state/host_state.hpp"

namespace velkaron {

// The request loop of velkaron-native: one request per native message, one response per
// request, as one message or, when longer than a browser accepts, as chunk messages. An empty
// message, one that is not UTF-8 and one that is not a readable request are answered as
// unreadable and the loop goes on. Returns at end of input (also inside a message), on a read
// error, after answering a message announced longer than MAX_REQUEST_MESSAGE, whose end cannot
// be found without reading it, and when a response cannot be written. The caller locks the
// state afterwards.
void serve_frames(HostState& state, int input_fd, int output_fd);

}  // namespace velkaron

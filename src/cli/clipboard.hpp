#pragma once

// The desktop's clipboard through its command-line tools, the text always on their standard
// input: wl-copy under Wayland, else xclip, else xsel under X11.

#include <optional>
#include <string_view>

#include "base/secret_string.hpp"
#include "cli/outcome.hpp"

namespace velkaron::cli {

inline constexpr unsigned DEFAULT_CLEAR_SECONDS = 30;

// The hidden command line of the process that clears the clipboard later.
inline constexpr std::string_view CLEARER_COMMAND = "__clear-clipboard";

// Whether a clipboard tool is there for the desktop this program runs in.
[[nodiscard]] bool clipboard_available();

// Copies `text` and leaves behind a process that, after `clear_after_seconds`, empties the
// clipboard if it still holds `text`. That process outlives this one and holds only a keyed
// digest of the text.
[[nodiscard]] Done copy_for_a_while(std::string_view text, unsigned clear_after_seconds);

// The clearing process: reads the key and digest from standard input, waits, compares, clears.
int run_clearer(std::string_view seconds);

}  // namespace velkaron::cli

#pragma once

namespace velkaron::cli {

// No core files, no dumping of or attaching to this process, so that master and login
// passwords cannot leave through either; a host that goes away makes writes fail instead of
// killing the process.
void harden_process() noexcept;

}  // namespace velkaron::cli

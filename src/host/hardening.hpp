#pragma once

namespace velkaron {

// Before any request is read: no core files, and no dumping of or attaching to this process
// by other processes of the same user, so the vault key cannot leave through either; and a
// save that runs into the file-size limit fails with its message instead of killing the
// process by SIGXFSZ. SIGTERM, SIGINT and SIGHUP still end the process, by the same signal,
// but only after the vault key has been wiped and its page released.
void harden_process() noexcept;

}  // namespace velkaron

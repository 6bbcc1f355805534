#pragma once

namespace velkaron {

// Readies libsodium once; later calls cost nothing. Without it the library runs its slow
// portable code and cannot hand out guarded memory. A library that cannot be readied ends the
// process (exit 101).
void init_sodium() noexcept;

}  // namespace velkaron

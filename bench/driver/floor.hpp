#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "crypto/secret.hpp"
#include "vault/records.hpp"

namespace velkaron::bench {

// Padded standard Base64 through a lookup table into `out`, which has room for
// text.size() / 4 * 3 bytes; the number of bytes written, or nothing when the length is not
// a multiple of 4 or a character lies outside the alphabet and "=". Where a "=" stands is
// not checked: the decryption's tag check refuses garbled text anyway.
[[nodiscard]] std::optional<std::size_t> decode_base64_into(std::string_view text,
                                                            unsigned char* out);

// The least that `list` or `for-host` must do for the stored entries, written the obvious way
// and without the host's code, so that no change to the host can move it: per entry a table
// decode of nonce and ciphertext, libsodium's decryption under the entry id, one memchr pass
// over the plaintext; no JSON, and no allocation after construction.
class EntryFloor {
  public:
    // Allocates the buffers for the largest entry.
    EntryFloor(std::vector<SealedEntry> entries, Key32 key);

    // Opens every entry once; the bytes of all plaintexts. Throws when an entry does not open
    // or its plaintext holds a NUL byte.
    [[nodiscard]] std::size_t open_all();

  private:
    std::vector<SealedEntry> entries_;
    Key32 key_;
    std::vector<unsigned char> nonce_;
    std::vector<unsigned char> ciphertext_;
    std::vector<unsigned char> plaintext_;
};

}  // namespace velkaron::bench

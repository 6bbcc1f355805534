#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"

namespace velkaron {

// One stored login in clear. It lives only inside one operation; its texts wipe themselves.
struct Entry {
    SecretString host;
    SecretString username;
    SecretString password;
    SecretString title;
    std::uint64_t created_at = 0;
    std::uint64_t updated_at = 0;

    friend bool operator==(const Entry&, const Entry&) = default;
};

// The sealed plaintext: compact JSON, the six members in declared order. Fails only on text
// that is not UTF-8, with the library's description.
[[nodiscard]] Result<SecretString> write_entry(const Entry& entry);

// Members in any order, `title` may be left out, unknown members skipped. Fails with the
// reader's description of the first fault.
[[nodiscard]] Result<Entry> read_entry(std::string_view plaintext);

// The same into `entry`, whose texts keep their buffers where they can: the plaintexts
// write_entry makes go through scan_entry, everything else through read_entry, whose message
// a fault carries.
[[nodiscard]] Status read_entry_into(std::string_view plaintext, Entry& entry);

}  // namespace velkaron

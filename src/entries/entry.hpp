#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "crypto/secret.hpp"

namespace velkaron {

// One stored login in clear. It lives only inside one operation; its strings are wiped when
// it goes, since the reader hands them over in ordinary strings.
struct Entry {
    std::string host;
    std::string username;
    std::string password;
    std::string title;
    std::uint64_t created_at = 0;
    std::uint64_t updated_at = 0;

    Entry() = default;
    Entry(Entry&&) noexcept = default;
    Entry(const Entry&) = delete;
    // Assignment would free the old strings unwiped.
    Entry& operator=(Entry&&) = delete;
    Entry& operator=(const Entry&) = delete;
    ~Entry();
};

// The sealed plaintext: compact JSON, the six members in declared order. Fails only on text
// that is not UTF-8, with the library's description.
[[nodiscard]] Result<SecretBytes> write_entry(const Entry& entry);

// Members in any order, `title` may be left out, unknown members skipped. Fails with the
// reader's description of the first fault.
[[nodiscard]] Result<Entry> read_entry(std::string_view plaintext);

}  // namespace velkaron

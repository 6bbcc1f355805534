#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "entries/entry.hpp"
#include "entries/operations.hpp"
#include "json/writer.hpp"
#include "state/host_state.hpp"
#include "support/temp_dir.hpp"

namespace velkaron::testing_support {

// An unlocked HostState with an in-memory vault and no file yet, its path in a fresh
// directory. Entries are sealed straight into memory, so tests choose ids and times.
class EntriesTest : public testing::Test {
  protected:
    EntriesTest();

    // Seals an entry under `id` at the end of the vault.
    void store(std::string_view id, std::string_view host, std::string_view username,
               std::uint64_t created_at = 100, std::string_view password = "secret");
    // Seals `plaintext` as it is: an entry that opens but does not read.
    void store_plaintext(std::string_view id, std::string_view plaintext);
    // An entry that does not open: sealed under another id than the one it is stored under.
    void store_unopenable(std::string_view id);

    // The same vault, unlocked, under another vault path and not saved there yet.
    void move_to(std::string path);

    // The stored entry at `index`, opened.
    [[nodiscard]] Entry opened(std::size_t index) const;

    TempDir dir;
    HostState state;
};

// What `write` puts into a response's data, read back as a document. The test fails unless the
// bytes are exactly what dump() makes of that document: compact, members sorted by name.
[[nodiscard]] Result<nlohmann::json> written_data(
    const std::function<Status(json::DataWriter&)>& write);

// list, for-host and reveal through written_data.
[[nodiscard]] Result<nlohmann::json> listed(HostState& state);
[[nodiscard]] Result<nlohmann::json> found_for(HostState& state, std::string_view host);
[[nodiscard]] Result<nlohmann::json> revealed(HostState& state, std::string_view entry_id);

// A put of `host` with the password "pw", no user name and no title.
[[nodiscard]] PutRequest login(std::string_view host,
                               std::optional<std::string_view> entry_id = std::nullopt);

// The id of a new entry: a version 4 UUID in lower-case hexadecimal.
[[nodiscard]] bool is_uuid_v4(std::string_view id);

}  // namespace velkaron::testing_support

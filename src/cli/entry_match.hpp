#pragma once

// Naming a stored login on the command line: by its id (whole, or the short id `ls` shows), or
// by host and optional user name, matched against `list` — never `for-host`, which also serves
// parent domains and answers with passwords.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/outcome.hpp"
#include "json/json.hpp"

namespace velkaron::cli {

inline constexpr std::size_t SHORT_ID_LEN = 8;

struct EntryName {
    std::string id_or_host;
    std::optional<std::string> username;
};

// The summaries of `list` that `name` names, in `list`'s order.
[[nodiscard]] std::vector<const Json*> matching_entries(const Json& list, const EntryName& name);

// The one entry's summary, or: none (exit status 3), several (their table and a question for
// the id when `may_ask`, exit status 3 otherwise).
[[nodiscard]] Outcome<const Json*> resolve_entry(const Json& list, const EntryName& name,
                                                 bool may_ask);

[[nodiscard]] std::string short_id(std::string_view id);

// The text of a member of `summary`; empty where it is missing or no string. Valid while
// `summary` is.
[[nodiscard]] std::string_view text_of(const Json& summary, const char* member);

// The text with ASCII capitals made small; other bytes as they are.
[[nodiscard]] std::string ascii_folded(std::string_view text);

// Whether `text`, ASCII capitals made small, contains `folded` (already folded). Compares in
// place: ls and clip walk every login, and a copy of each text would cost more than the walk.
[[nodiscard]] bool contains_folded(std::string_view text, std::string_view folded);

// Whether `text`, ASCII capitals made small, is `folded` (already folded).
[[nodiscard]] bool equals_folded(std::string_view text, std::string_view folded);

}  // namespace velkaron::cli

#pragma once

// What the commands print: plain text for people, or with --json the same fields as JSON.
// Standard output may carry a password (`show --password`, `gen`); standard error never does.

#include <string_view>

#include "base/secret_string.hpp"
#include "json/json.hpp"

namespace velkaron::cli {

void print(std::string_view text);
void print_error(std::string_view text);

// A JSON value on one line.
void print_json(const Json& value);

// Summaries of `list` as a table: host, user name, title, short id.
[[nodiscard]] SecretString entries_table(const Json& summaries);

// A secret text as a JSON string whose storage wipes itself.
[[nodiscard]] Json secret_json(const SecretString& text);

}  // namespace velkaron::cli

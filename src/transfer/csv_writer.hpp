#pragma once

#include <span>
#include <string_view>

#include "base/secret_string.hpp"

namespace velkaron {

// Appends one record as RFC 4180 writes it, ended by CRLF. A field is quoted, its quotation
// marks doubled, when it holds a comma, a quotation mark or a line break, or begins or ends
// with a space or a tab, which some readers trim. Leading `=`, `+`, `-` or `@` stay as they
// are: the file is for importing, not for spreadsheets.
void append_csv_record(SecretString& out, std::span<const std::string_view> fields);

}  // namespace velkaron

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/secret_string.hpp"
#include "transfer/csv_file.hpp"
#include "transfer/dialect.hpp"

namespace velkaron {

// One row of an import file as the login it stores; times only where the file gives them.
struct ImportedLogin {
    std::size_t line = 0;
    SecretString host;
    SecretString username;
    SecretString password;
    SecretString title;
    std::optional<std::uint64_t> created_at;
    std::optional<std::uint64_t> updated_at;
};

struct SkippedRow {
    std::size_t line = 0;
    std::string reason;

    friend bool operator==(const SkippedRow&, const SkippedRow&) = default;
};

// The rows of a file, each either a login or skipped, and the lines of the logins whose note
// the vault cannot keep; every list in file order.
struct MappedRows {
    std::vector<ImportedLogin> logins;
    std::vector<SkippedRow> skipped;
    std::vector<std::size_t> notes_dropped;
};

// Maps every row of `table` by `dialect`, whose texts it takes: the host from the address
// (login_host), the times from milliseconds rounded down to whole seconds. A row without a host
// or without a password (which put would refuse) is skipped with its reason.
[[nodiscard]] MappedRows map_rows(CsvTable&& table, const Dialect& dialect);

}  // namespace velkaron

#include "transfer/import_rows.hpp"

#include <charconv>

#include "transfer/login_host.hpp"

namespace velkaron {
namespace {

constexpr char NO_PASSWORD[] = "kein Passwort";

const SecretString& column(const CsvRow& row, std::optional<std::size_t> index) {
    static const SecretString NONE;
    return index ? row.fields[*index] : NONE;
}

// The field moved out of the row, or empty when the dialect has no such column.
SecretString take(CsvRow& row, std::optional<std::size_t> index) {
    return index ? std::move(row.fields[*index]) : SecretString();
}

// Milliseconds since the epoch in whole seconds; a field that is no such number gives none,
// and the time of the import stands in.
std::optional<std::uint64_t> seconds_of(const SecretString& milliseconds) {
    std::uint64_t value = 0;
    const char* end = milliseconds.data() + milliseconds.size();
    const auto [stop, error] = std::from_chars(milliseconds.data(), end, value);
    if (error != std::errc() || stop != end || milliseconds.empty()) return std::nullopt;
    return value / 1000;
}

}  // namespace

MappedRows map_rows(CsvTable&& table, const Dialect& dialect) {
    MappedRows mapped;
    mapped.logins.reserve(table.rows.size());
    for (CsvRow& row : table.rows) {
        auto host = login_host(row.fields[dialect.url].view());
        if (!host) {
            mapped.skipped.push_back({row.line, std::move(host.error())});
            continue;
        }
        if (row.fields[dialect.password].empty()) {
            mapped.skipped.push_back({row.line, NO_PASSWORD});
            continue;
        }
        if (!column(row, dialect.note).empty()) mapped.notes_dropped.push_back(row.line);
        const auto created_at = seconds_of(column(row, dialect.created_ms));
        const auto updated_at = seconds_of(column(row, dialect.changed_ms));
        mapped.logins.push_back(ImportedLogin{
            .line = row.line,
            .host = std::move(*host),
            .username = take(row, dialect.username),
            .password = take(row, dialect.password),
            .title = take(row, dialect.title),
            .created_at = created_at,
            .updated_at = updated_at,
        });
    }
    return mapped;
}

}  // namespace velkaron

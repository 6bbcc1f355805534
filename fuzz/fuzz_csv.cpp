// The CSV reader and the dialect mapping. A file that reads must write back (as export writes
// records) and read again to the same fields; every host the mapping gives is what the
// mapping gives for it again, in ASCII lower case.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "transfer/csv_file.hpp"
#include "transfer/csv_writer.hpp"
#include "transfer/dialect.hpp"
#include "transfer/import_rows.hpp"
#include "transfer/login_host.hpp"

namespace {

using velkaron::CsvRow;
using velkaron::SecretString;

// A record of one empty field is a blank line, which readers pass over.
bool writes_blank(const CsvRow& row) {
    return row.fields.size() == 1 && row.fields[0].empty();
}

void append(SecretString& out, const CsvRow& row) {
    std::vector<std::string_view> fields;
    for (const auto& field : row.fields) fields.push_back(field.view());
    velkaron::append_csv_record(out, fields);
}

bool same_fields(const CsvRow& a, const CsvRow& b) {
    return a.fields == b.fields;
}

void check_round_trip(const velkaron::CsvTable& table) {
    if (writes_blank(table.header) ||
        std::any_of(table.rows.begin(), table.rows.end(), writes_blank)) {
        return;
    }
    // A byte-order mark first, so that a first field that itself begins with one stays whole.
    SecretString written("\xEF\xBB\xBF");
    append(written, table.header);
    for (const CsvRow& row : table.rows) append(written, row);
    const auto again = velkaron::read_csv(written.view());
    if (!again || !same_fields(again->header, table.header) ||
        !std::equal(again->rows.begin(), again->rows.end(), table.rows.begin(), table.rows.end(),
                    same_fields)) {
        std::abort();
    }
}

void check_hosts(const velkaron::MappedRows& mapped) {
    for (const auto& login : mapped.logins) {
        const std::string_view host = login.host.view();
        if (host.empty() || std::any_of(host.begin(), host.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z');
            })) {
            std::abort();
        }
        const auto again = velkaron::login_host(host);
        if (!again || again->view() != host) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto table = velkaron::read_csv(bytes);
    if (!table) return 0;
    check_round_trip(*table);
    const auto dialect = velkaron::dialect_of(table->header.fields);
    if (dialect) check_hosts(velkaron::map_rows(std::move(*table), *dialect));
    return 0;
}

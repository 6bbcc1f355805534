#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "base/secret_string.hpp"

namespace velkaron {

// One record of a CSV file and the 1-based line where it starts.
struct CsvRow {
    std::size_t line = 0;
    std::vector<SecretString> fields;
};

// A CSV file as RFC 4180 writes it: the header and the rows, each exactly as wide as the header.
struct CsvTable {
    CsvRow header;
    std::vector<CsvRow> rows;
};

// Reads `bytes`: an optional UTF-8 byte-order mark, then records separated by CRLF, LF or CR,
// the last one with or without its line break; blank lines between records are passed over.
// Every refusal names the line ("Zeile 3: …"): bytes that are not UTF-8, a NUL byte, a
// misplaced or unclosed quotation mark, a row of another width than the header. A file
// without a header is "Datei ist leer".
[[nodiscard]] Result<CsvTable> read_csv(std::string_view bytes);

}  // namespace velkaron

#include "transfer/csv_file.hpp"

#include <csv.h>
#include <malloc.h>
#include <sodium.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/utf8.hpp"

namespace velkaron {
namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// libcsv grows its field buffer by a fixed block through this function. The rows are
// passwords, so every block it leaves is wiped; and it grows geometrically underneath, so a
// long field costs linear time, not a copy per block.
void* wiping_realloc(void* old, std::size_t size) {
    const std::size_t held = old == nullptr ? 0 : ::malloc_usable_size(old);
    if (size <= held) return old;
    void* fresh = std::malloc(std::max(size, 2 * held));
    if (fresh == nullptr) return nullptr;
    if (old != nullptr) {
        std::memcpy(fresh, old, held);
        sodium_memzero(old, held);
        std::free(old);
    }
    return fresh;
}

void wiping_free(void* block) {
    if (block == nullptr) return;
    sodium_memzero(block, ::malloc_usable_size(block));
    std::free(block);
}

// Fields keep every space: a password may begin or end with one.
int no_space(unsigned char /*unused*/) {
    return 0;
}

std::string at_line(std::size_t line, std::string_view message) {
    return "Zeile " + std::to_string(line) + ": " + std::string(message);
}

// The end of the line starting at `from`: after its LF, CRLF or CR, or the end of `text`.
std::size_t line_end(std::string_view text, std::size_t from) {
    // A loop of its own: find_first_of would call memchr on "\r\n" for every byte.
    std::size_t brk = from;
    while (brk < text.size() && text[brk] != '\n' && text[brk] != '\r') ++brk;
    if (brk == text.size()) return text.size();
    if (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') return brk + 2;
    return brk + 1;
}

bool is_line_break(std::string_view line) {
    return line == "\n" || line == "\r\n" || line == "\r";
}

class Reader {
  public:
    Reader() {
        csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI);
        csv_set_space_func(&parser_, no_space);
        csv_set_realloc_func(&parser_, wiping_realloc);
        csv_set_free_func(&parser_, wiping_free);
    }
    ~Reader() { csv_free(&parser_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Line by line, so that each row knows the line it started on.
    Result<std::vector<CsvRow>> read(std::string_view text) {
        Utf8Scanner utf8;
        std::size_t line = 0;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = line_end(text, at);
            const std::string_view piece = text.substr(at, end - at);
            at = end;
            ++line;
            if (!utf8.feed(piece)) return fail(at_line(line, NOT_UTF8));
            if (piece.find('\0') != std::string_view::npos) {
                return fail(at_line(line, "NUL-Byte in der Datei"));
            }
            // libcsv passes over blank lines between records; inside a quoted field they are
            // part of the row that started earlier.
            if (row_start_ == 0 && !is_line_break(piece)) row_start_ = line;
            if (csv_parse(&parser_, piece.data(), piece.size(), on_field, on_row, this) !=
                piece.size()) {
                return fail(at_line(line, "Anführungszeichen falsch gesetzt (CSV nicht lesbar)"));
            }
        }
        if (!utf8.complete()) return fail(at_line(line, NOT_UTF8));
        if (csv_fini(&parser_, on_field, on_row, this) != 0) {
            return fail(at_line(row_start_, "Anführungszeichen nicht geschlossen"));
        }
        return std::move(rows_);
    }

  private:
    static constexpr std::string_view NOT_UTF8 =
        "Text ist kein UTF-8 (eine Tabellenkalkulation speichert oft als Windows-1252: "
        "bitte als UTF-8 speichern)";

    static void on_field(void* text, std::size_t size, void* self) {
        auto& reader = *static_cast<Reader*>(self);
        reader.fields_.emplace_back(std::string_view(static_cast<const char*>(text), size));
    }

    static void on_row(int /*unused*/, void* self) {
        auto& reader = *static_cast<Reader*>(self);
        const std::size_t width = reader.fields_.size();
        reader.rows_.push_back(CsvRow{reader.row_start_, std::move(reader.fields_)});
        reader.fields_ = {};
        reader.fields_.reserve(width);  // rows are as wide as the header, or refused
        reader.row_start_ = 0;
    }

    csv_parser parser_{};
    std::vector<CsvRow> rows_;
    std::vector<SecretString> fields_;
    std::size_t row_start_ = 0;
};

}  // namespace

Result<CsvTable> read_csv(std::string_view bytes) {
    if (bytes.starts_with(BYTE_ORDER_MARK)) bytes.remove_prefix(BYTE_ORDER_MARK.size());
    VELKARON_TRY(rows, Reader().read(bytes));
    if (rows->empty()) return fail("Datei ist leer");
    CsvTable table{std::move(rows->front()), {}};
    table.rows.reserve(rows->size() - 1);
    for (auto row = rows->begin() + 1; row != rows->end(); ++row) {
        if (row->fields.size() != table.header.fields.size()) {
            return fail(at_line(row->line, std::to_string(row->fields.size()) +
                                               " Felder, die Kopfzeile hat " +
                                               std::to_string(table.header.fields.size())));
        }
        table.rows.push_back(std::move(*row));
    }
    return table;
}

}  // namespace velkaron

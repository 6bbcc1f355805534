#include "transfer/csv_writer.hpp"

namespace velkaron {
namespace {

bool needs_quotes(std::string_view field) {
    if (field.find_first_of(",\"\r\n") != std::string_view::npos) return true;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !field.empty() && (blank(field.front()) || blank(field.back()));
}

void append_field(SecretString& out, std::string_view field) {
    if (!needs_quotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

void append_csv_record(SecretString& out, std::span<const std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first) out += ',';
        first = false;
        append_field(out, field);
    }
    out += "\r\n";
}

}  // namespace velkaron

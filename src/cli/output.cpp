#include "cli/output.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "base/posix.hpp"
#include "cli/entry_match.hpp"

namespace velkaron::cli {
namespace {

// Columns are padded to the widest value in characters, not bytes.
std::size_t width(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

void print(std::string_view text) {
    (void)write_all(STDOUT_FILENO, text);
}

void print_error(std::string_view text) {
    (void)write_all(STDERR_FILENO, text);
}

void print_json(const Json& value) {
    SecretString line(value.dump(-1, ' ', false, Json::error_handler_t::replace));
    line.push_back('\n');
    print(line);
}

SecretString entries_table(const Json& summaries) {
    constexpr std::array<const char*, 4> HEADINGS{"HOST", "BENUTZER", "TITEL", "ID"};
    std::vector<std::array<SecretString, 4>> rows;
    rows.push_back({SecretString(HEADINGS[0]), SecretString(HEADINGS[1]), SecretString(HEADINGS[2]),
                    SecretString(HEADINGS[3])});
    for (const Json& summary : summaries) {
        rows.push_back({SecretString(summary.value("host", WipingString())),
                        SecretString(summary.value("username", WipingString())),
                        SecretString(summary.value("title", WipingString())),
                        SecretString(short_id(summary.value("id", WipingString())))});
    }
    std::array<std::size_t, 4> widths{};
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
    }
    SecretString table;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            table += row[i];
            if (i + 1 < row.size()) table.append(widths[i] - width(row[i]) + 2, ' ');
        }
        table.push_back('\n');
    }
    return table;
}

Json secret_json(const SecretString& text) {
    return Json(static_cast<const WipingString&>(text));
}

}  // namespace velkaron::cli

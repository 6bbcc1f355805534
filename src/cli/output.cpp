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
    constexpr std::array<const char*, 3> MEMBERS{"host", "username", "title"};
    // Views of the texts, the id shortened: the table is built once, without copies.
    const auto cells = [&](const Json& summary) {
        return std::array<std::string_view, 4>{
            text_of(summary, MEMBERS[0]), text_of(summary, MEMBERS[1]),
            text_of(summary, MEMBERS[2]), text_of(summary, "id").substr(0, SHORT_ID_LEN)};
    };
    std::array<std::size_t, 4> widths{};
    std::size_t bytes = 0;
    const auto measure = [&](const std::array<std::string_view, 4>& row) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], width(row[i]));
            bytes += row[i].size();
        }
    };
    const std::array<std::string_view, 4> headings{HEADINGS[0], HEADINGS[1], HEADINGS[2],
                                                   HEADINGS[3]};
    measure(headings);
    for (const Json& summary : summaries) measure(cells(summary));
    SecretString table;
    const std::size_t padding = widths[0] + widths[1] + widths[2] + 3 * 2 + 1;
    table.reserve(bytes + (summaries.size() + 1) * padding);
    const auto append = [&](const std::array<std::string_view, 4>& row) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            table += row[i];
            if (i + 1 < row.size()) table.append(widths[i] - width(row[i]) + 2, ' ');
        }
        table.push_back('\n');
    };
    append(headings);
    for (const Json& summary : summaries) append(cells(summary));
    return table;
}

Json secret_json(const SecretString& text) {
    return Json(static_cast<const WipingString&>(text));
}

}  // namespace velkaron::cli

#include "transfer/dialect.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace velkaron {
namespace {

using Column = std::optional<std::size_t> Dialect::*;

struct ColumnName {
    std::string_view name;  // lower case
    Column column;
};

constexpr std::array<ColumnName, 19> COLUMN_NAMES{{
    {"url", nullptr},
    {"uri", nullptr},
    {"login_uri", nullptr},
    {"website", nullptr},
    {"host", nullptr},
    {"password", nullptr},
    {"login_password", nullptr},
    {"username", &Dialect::username},
    {"login_username", &Dialect::username},
    {"user", &Dialect::username},
    {"login", &Dialect::username},
    {"email", &Dialect::username},
    {"title", &Dialect::title},
    {"name", &Dialect::title},
    {"note", &Dialect::note},
    {"notes", &Dialect::note},
    {"login_notes", &Dialect::note},
    {"timecreated", &Dialect::created_ms},
    {"timepasswordchanged", &Dialect::changed_ms},
}};

constexpr std::size_t PASSWORD_NAMES_FROM = 5;  // the names before are the address's

constexpr char EXPECTED[] =
    "Zeile 1: Kopfzeile nicht erkannt; erwartet wird die Kopfzeile eines Passwort-Exports von "
    "Chromium oder Chrome (name,url,username,password,note) oder Firefox "
    "(\"url\",\"username\",\"password\",\"httpRealm\",…) oder eine Spalte für die Adresse (url, "
    "uri, login_uri, website, host) und eine für das Passwort (password, login_password)";

std::string folded_name(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    std::string name(text);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return name;
}

}  // namespace

Result<Dialect> dialect_of(std::span<const SecretString> header) {
    Dialect dialect;
    std::optional<std::size_t> url;
    std::optional<std::size_t> password;
    for (std::size_t index = 0; index < header.size(); ++index) {
        const std::string name = folded_name(header[index].view());
        const auto* known = std::find_if(COLUMN_NAMES.begin(), COLUMN_NAMES.end(),
                                         [&](const ColumnName& c) { return c.name == name; });
        if (known == COLUMN_NAMES.end()) continue;
        const auto rank = static_cast<std::size_t>(known - COLUMN_NAMES.begin());
        auto& column = known->column != nullptr     ? dialect.*(known->column)
                       : rank < PASSWORD_NAMES_FROM ? url
                                                    : password;
        if (!column) column = index;
    }
    if (!url || !password) return fail(EXPECTED);
    dialect.url = *url;
    dialect.password = *password;
    return dialect;
}

}  // namespace velkaron

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/case_name.hpp"
#include "transfer/csv_file.hpp"
#include "transfer/dialect.hpp"
#include "transfer/import_rows.hpp"

namespace velkaron {
namespace {

using testing_support::CaseName;

struct Login {
    std::size_t line;
    std::string host, username, password, title;
    std::optional<std::uint64_t> created_at, updated_at;
    friend bool operator==(const Login&, const Login&) = default;
};

struct Mapped {
    std::vector<Login> logins;
    std::vector<SkippedRow> skipped;
    std::vector<std::size_t> notes_dropped;
    friend bool operator==(const Mapped&, const Mapped&) = default;
};

void PrintTo(const Mapped& m, std::ostream* os) {
    for (const auto& l : m.logins) {
        *os << "\n  " << l.line << " " << l.host << " [" << l.username << "] [" << l.password
            << "] [" << l.title << "] " << l.created_at.value_or(0) << "/"
            << l.updated_at.value_or(0);
    }
    for (const auto& s : m.skipped) *os << "\n  skipped " << s.line << ": " << s.reason;
    for (const auto l : m.notes_dropped) *os << "\n  note " << l;
}

Result<Mapped> mapped(const std::string& file) {
    auto table = read_csv(file);
    if (!table) return fail(table.error());
    const auto dialect = dialect_of(table->header.fields);
    if (!dialect) return fail(dialect.error());
    MappedRows rows = map_rows(std::move(*table), *dialect);
    Mapped out{{}, std::move(rows.skipped), std::move(rows.notes_dropped)};
    for (const auto& l : rows.logins) {
        out.logins.push_back({l.line, std::string(l.host.view()), std::string(l.username.view()),
                              std::string(l.password.view()), std::string(l.title.view()),
                              l.created_at, l.updated_at});
    }
    return out;
}

constexpr char FIREFOX_HEADER[] =
    "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
    "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n";

struct DialectCase {
    const char* name;
    std::string file;
    Mapped expected;
};

const DialectCase DIALECT_CASES[] = {
    {"Chromium",
     "name,url,username,password,note\n"
     "example.org,https://example.org/login,erika,geheim,\n"
     "Bank,https://bank.example/,\"m,x\",\"p\"\"w\",\"Zeile\neins\"\n",
     {{{2, "example.org", "erika", "geheim", "example.org", {}, {}},
       {3, "bank.example", "m,x", "p\"w", "Bank", {}, {}}},
      {},
      {3}}},
    {"ChromiumWithoutNote",
     "\xEF\xBB\xBF"
     "name,url,username,password\r\n"
     "T,https://bücher.example/,u,p\r\n",
     {{{2, "xn--bcher-kva.example", "u", "p", "T", {}, {}}}, {}, {}}},
    {"FirefoxTimesRoundedDown",
     std::string(FIREFOX_HEADER) +
         "\"https://example.org\",\"erika\",\"pw\",,\"https://example.org\",\"{g}\","
         "\"1700000000999\",\"1700000005000\",\"1700000001500\"\r\n"
         "\"https://x.example\",\"\",\"pw2\",,,\"{h}\",\"\",\"\",\"bad\"\r\n",
     {{{2, "example.org", "erika", "pw", "", 1700000000, 1700000001},
       {3, "x.example", "", "pw2", "", {}, {}}},
      {},
      {}}},
    {"GenericCaseInsensitiveWithSpaces",
     "Title , Login_URI,EMAIL,Login_Password,Notes,extra\n"
     "Mail,mail.example:993,me@example.org,s3cret,,x\n",
     {{{2, "mail.example", "me@example.org", "s3cret", "Mail", {}, {}}}, {}, {}}},
    {"GenericWithoutUserOrTitle",
     "website,password\nexample.org/a,pw\n",
     {{{2, "example.org", "", "pw", "", {}, {}}}, {}, {}}},
    {"FirstColumnOfAKindCounts",
     "uri,url,user,username,password\nfirst.example,second.example,u1,u2,pw\n",
     {{{2, "first.example", "u1", "pw", "", {}, {}}}, {}, {}}},
    {"SkipsAndNotes",
     "name,url,username,password,note\n"
     "a,android://hash@com.example/,u,p,n\n"
     "b,https://example.org/,u,,\n"
     "c,,u,p,\n"
     "d,ftp://files.example/,u,p,\n"
     "e,https://ok.example/,u,p,kept?\n"
     "f,https://:1/,u,p,\n",
     {{{6, "ok.example", "u", "p", "e", {}, {}}},
      {{2, "Schema `android:` nicht unterstützt"},
       {3, "kein Passwort"},
       {4, "keine Adresse"},
       {5, "Schema `ftp:` nicht unterstützt"},
       {7, "kein gültiger Host in der Adresse"}},
      {6}}},
    {"HeaderOnly", "name,url,username,password,note\n", {}},
};

class Dialects : public testing::TestWithParam<DialectCase> {};

TEST_P(Dialects, MapRowsToLogins) {
    const auto rows = mapped(GetParam().file);
    ASSERT_TRUE(rows.has_value()) << rows.error();
    EXPECT_EQ(*rows, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Files, Dialects, testing::ValuesIn(DIALECT_CASES), CaseName());

TEST(DialectRefusal, SaysWhatWasExpected) {
    for (const char* header : {"name,username,password\n", "url,username,pass\n", "a\n"}) {
        const auto rows = mapped(header);
        ASSERT_FALSE(rows.has_value()) << header;
        EXPECT_TRUE(rows.error().starts_with("Zeile 1: Kopfzeile nicht erkannt; erwartet wird"))
            << rows.error();
        EXPECT_NE(rows.error().find("name,url,username,password,note"), std::string::npos);
        EXPECT_NE(rows.error().find("login_password"), std::string::npos);
    }
}

}  // namespace
}  // namespace velkaron

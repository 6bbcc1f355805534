// Import and export through the real binary: every refusal with its message and nothing
// stored, the answer's exact bytes, a second import that writes nothing, and the round trip of
// odd texts from one vault through an export into another.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "support/case_name.hpp"
#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using nlohmann::json;
using testing_support::HostProcess;
using testing_support::PASSWORD;
using testing_support::read_file;
using testing_support::TempDir;

std::string base64_of(std::string_view file) {
    return base64_encode(bytes_of(file));
}

json import_request(std::string_view file) {
    return {{"id", 7}, {"op", "import"}, {"data", base64_of(file)}};
}

// A host on a small vault holding one login, unlocked.
class TransferSession : public testing::Test {
  protected:
    TransferSession() {
        testing_support::create_small_vault(path);
        ok({{"id", 1}, {"op", "unlock"}, {"password", PASSWORD}});
        ok({{"id", 2},
            {"op", "put"},
            {"host", "example.org"},
            {"username", "erika"},
            {"password", "alt"}});
    }

    json answer(const json& request) { return json::parse(host.request(request.dump())); }
    json ok(const json& request) {
        const json response = answer(request);
        EXPECT_EQ(response["ok"], true) << request.dump().substr(0, 200) << " -> " << response;
        return response.value("data", json());
    }
    std::string error(const json& request) {
        const json response = answer(request);
        EXPECT_EQ(response["ok"], false) << response;
        return response.value("error", "");
    }
    std::size_t listed() { return ok({{"id", 3}, {"op", "list"}}).size(); }

    TempDir dir;
    std::string path = dir.file("tresor.json");
    HostProcess host{{path}};
};

constexpr char CHROMIUM_HEADER[] = "name,url,username,password,note\n";

// The request is made when its case runs: the largest is over 16 MiB, and every process of the
// test binary would otherwise build all of them before it runs its one test.
struct RefusalCase {
    const char* name;
    json (*request)();
    std::string message;
};

std::vector<RefusalCase> refusal_cases() {
    const std::string not_utf8 =
        "Text ist kein UTF-8 (eine Tabellenkalkulation speichert oft als Windows-1252: bitte als "
        "UTF-8 speichern)";
    return {
        {"NoData",
         [] {
             return json{{"id", 7}, {"op", "import"}};
         },
         "Datei fehlt"},
        {"NotBase64",
         [] {
             return json{{"id", 7}, {"op", "import"}, {"data", "a b="}};
         },
         "Datei nicht lesbar: kein Base64 (Standardalphabet mit Auffüllung)"},
        {"Base64WithoutPadding",
         [] {
             return json{{"id", 7}, {"op", "import"}, {"data", "YQ"}};
         },
         "Datei nicht lesbar: kein Base64 (Standardalphabet mit Auffüllung)"},
        {"UrlSafeAlphabet",
         [] {
             return json{{"id", 7}, {"op", "import"}, {"data", "-_-_"}};
         },
         "Datei nicht lesbar: kein Base64 (Standardalphabet mit Auffüllung)"},
        {"OverTheCap",
         [] {
             return import_request(std::string(CHROMIUM_HEADER) +
                                   std::string(std::size_t{16} * 1024 * 1024, 'x'));
         },
         "Datei zu groß: höchstens 16 MiB"},
        {"EmptyFile", [] { return import_request(""); }, "Datei ist leer"},
        {"UnknownHeader", [] { return import_request("Seite;Benutzer;Kennwort\nx;y;z\n"); },
         "Zeile 1: Kopfzeile nicht erkannt; erwartet wird die Kopfzeile eines Passwort-Exports "
         "von Chromium oder Chrome (name,url,username,password,note) oder Firefox "
         "(\"url\",\"username\",\"password\",\"httpRealm\",…) oder eine Spalte für die Adresse "
         "(url, uri, login_uri, website, host) und eine für das Passwort (password, "
         "login_password)"},
        {"Windows1252",
         [] {
             return import_request(std::string(CHROMIUM_HEADER) +
                                   "a,https://a.example/,u,p,\n"
                                   "b,https://b.example/,M\xFCller,p,\n");
         },
         "Zeile 3: " + not_utf8},
        {"NulByte",
         [] {
             return import_request(std::string(CHROMIUM_HEADER) +
                                   std::string("a,https://a.example/,u,p\0,\n", 26));
         },
         "Zeile 2: NUL-Byte in der Datei"},
        {"UnclosedQuote",
         [] {
             return import_request(std::string(CHROMIUM_HEADER) +
                                   "a,https://a.example/,u,p,\n"
                                   "b,https://b.example/,\"u,p,\n");
         },
         "Zeile 3: Anführungszeichen nicht geschlossen"},
        {"FieldCount",
         [] {
             return import_request(std::string(CHROMIUM_HEADER) +
                                   "a,https://a.example/,u,p,\nb,u,p\n");
         },
         "Zeile 3: 3 Felder, die Kopfzeile hat 5"},
    };
}

class ImportRefusal : public TransferSession, public testing::WithParamInterface<RefusalCase> {};

TEST_P(ImportRefusal, StoresNothing) {
    const std::string before = read_file(path);
    EXPECT_EQ(error(GetParam().request()), GetParam().message);
    EXPECT_EQ(read_file(path), before);
    EXPECT_EQ(listed(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Files, ImportRefusal, testing::ValuesIn(refusal_cases()),
                         testing_support::CaseName());

TEST_F(TransferSession, DataOfAnotherTypeIsUnreadableAndStoresNothing) {
    const std::string before = read_file(path);
    EXPECT_EQ(host.request(R"({"id":7,"op":"import","data":true})"),
              R"({"id":0,"ok":false,"error":"Anfrage unlesbar: invalid type: boolean `true`, )"
              R"(expected a string at line 1 column 33"})");
    EXPECT_EQ(read_file(path), before);
}

TEST_F(TransferSession, LockedRefusesImportAndExport) {
    ok({{"id", 4}, {"op", "lock"}});
    const std::string before = read_file(path);
    EXPECT_EQ(error(import_request(std::string(CHROMIUM_HEADER) + "a,https://a.example/,u,p,\n")),
              "Tresor ist gesperrt");
    EXPECT_EQ(error({{"id", 8}, {"op", "export"}, {"password", PASSWORD}}), "Tresor ist gesperrt");
    EXPECT_EQ(read_file(path), before);
}

TEST_F(TransferSession, ExportAsksTheMasterPassword) {
    EXPECT_EQ(error({{"id", 8}, {"op", "export"}}), "Passwort fehlt");
    EXPECT_EQ(error({{"id", 8}, {"op", "export"}, {"password", "falsch-falsch"}}),
              "Falsches Master-Passwort");
    EXPECT_EQ(
        ok({{"id", 8}, {"op", "export"}, {"password", PASSWORD}}),
        json({{"csv", "name,url,username,password,note\r\n,https://example.org/,erika,alt,\r\n"}}));
}

TEST_F(TransferSession, AnswersEveryRowAndWritesNothingTheSecondTime) {
    const std::string file = std::string(CHROMIUM_HEADER) +
                             "Neu,https://neu.example/a,max,pw1,\n"
                             "App,android://x@com.example/,max,pw2,\n"
                             "Alt,https://Example.org/,erika,anders,Notiz\n"
                             "Neu,https://NEU.example/b,max,pw1,\n"
                             "Leer,https://leer.example/,max,,\n"
                             "Alt,https://example.org/,erika,alt,\"zwei\nZeilen\"\n";
    EXPECT_EQ(host.request(import_request(file).dump()),
              R"({"id":7,"ok":true,"data":{"added":1,"conflicts":[{"host":"example.org",)"
              R"("line":4,"username":"erika"}],"notes_dropped":[4,7],"replaced":0,"skipped":)"
              R"([{"line":3,"reason":"Schema `android:` nicht unterstützt"},{"line":6,"reason":)"
              R"("kein Passwort"}],"unchanged":2}})");
    EXPECT_EQ(listed(), 2U);
    const std::string after_first = read_file(path);
    const json again = ok(import_request(file));
    EXPECT_EQ(again["added"], 0);
    EXPECT_EQ(again["unchanged"], 3);
    EXPECT_EQ(read_file(path), after_first) << "an import that changes nothing writes nothing";

    json replace = import_request(file);
    replace["replace"] = true;
    const json replaced = ok(replace);
    EXPECT_EQ(replaced["replaced"], 2) << "the stored login, then the later row over it";
    EXPECT_EQ(replaced["conflicts"], json::array());
    const json found =
        ok({{"id", 9}, {"op", "for-host"}, {"host", "example.org"}, {"secure", true}});
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0]["password"], "alt") << "the last row wins";
    EXPECT_EQ(found[0]["title"], "Alt");
}

TEST_F(TransferSession, HeaderWithoutRowsAnswersZeros) {
    EXPECT_EQ(ok(import_request(CHROMIUM_HEADER)),
              json::parse(R"({"added":0,"conflicts":[],"notes_dropped":[],"replaced":0,)"
                          R"("skipped":[],"unchanged":0})"));
}

struct Login {
    std::string host, username, password, title;
    friend bool operator==(const Login&, const Login&) = default;
    friend bool operator<(const Login& a, const Login& b) {
        return std::tie(a.host, a.username) < std::tie(b.host, b.username);
    }
};

std::vector<Login> logins_of(HostProcess& host) {
    std::vector<Login> logins;
    const json list = json::parse(host.request(R"({"id":3,"op":"list"})"))["data"];
    for (const json& summary : list) {
        const json detail = json::parse(host.request(
            json{{"id", 4}, {"op", "reveal"}, {"entry_id", summary["id"]}}.dump()))["data"];
        std::string folded = detail["host"];
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        logins.push_back({folded, detail["username"], detail["password"], detail["title"]});
    }
    std::sort(logins.begin(), logins.end());
    return logins;
}

TEST_F(TransferSession, RoundTripOfOddTexts) {
    const std::vector<Login> odd = {
        {"Quotes.Example", "say \"hi\"", "p\"w\"\"", "\"quoted\""},
        {"commas.example", "a,b", ",pw,", "x, y"},
        {"breaks.example", "line\nbreak", "cr\r\nlf\n", "two\r\nlines"},
        {"tabs.example", "\tu\t", " p w ", "\ttitle "},
        {"umlaut.example", "müller", "pässwörd✓", "日本語"},
        {"formula.example", "=1+1", "+cmd|' /C calc'!A0", "-2"},
        {"at.example", "@sum(1)", "=HYPERLINK(\"x\")", "@"},
        {"empty.example", "", "only-password", ""},
    };
    for (const Login& login : odd) {
        ok({{"id", 5},
            {"op", "put"},
            {"host", login.host},
            {"username", login.username},
            {"password", login.password},
            {"title", login.title}});
    }
    const std::vector<Login> exported = logins_of(host);
    const json csv = ok({{"id", 8}, {"op", "export"}, {"password", PASSWORD}});

    const std::string other_path = dir.file("neu.json");
    testing_support::create_small_vault(other_path);
    HostProcess other({other_path});
    ASSERT_EQ(json::parse(other.request(
                  json{{"id", 1}, {"op", "unlock"}, {"password", PASSWORD}}.dump()))["ok"],
              true);
    const json imported =
        json::parse(other.request(import_request(csv["csv"].get<std::string>()).dump()));
    ASSERT_EQ(imported["ok"], true) << imported;
    EXPECT_EQ(imported["data"]["added"], exported.size());
    EXPECT_EQ(imported["data"]["skipped"], json::array());
    EXPECT_EQ(logins_of(other), exported);
}

}  // namespace
}  // namespace velkaron

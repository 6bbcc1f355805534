// A whole client session through the real binary: create, store, list, autofill, reveal,
// delete, lock and unlock, with the vault file checked after every change.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "support/host_process.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using nlohmann::json;
using testing_support::HostProcess;
using testing_support::read_file;
using testing_support::TempDir;

class EntriesSession : public testing::Test {
  protected:
    // The response's data; fails the test when the request did not succeed.
    json ok(const json& request) {
        const json response = json::parse(host.request(request.dump()));
        EXPECT_EQ(response["id"], request["id"]);
        EXPECT_EQ(response["ok"], true) << request.dump() << " -> " << response.dump();
        return response.value("data", json());
    }
    std::string error(const json& request) {
        const json response = json::parse(host.request(request.dump()));
        EXPECT_EQ(response["ok"], false) << request.dump() << " -> " << response.dump();
        return response.value("error", "");
    }

    // The ids stored in the vault file, in file order; also checks the file's mode and that
    // no password stands in it in clear.
    std::vector<std::string> file_ids() {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        const std::string text = read_file(path);
        EXPECT_EQ(text.find("geheim"), std::string::npos);
        const auto vault = parse_vault(text);
        EXPECT_TRUE(vault) << vault.error();
        std::vector<std::string> ids;
        if (vault) {
            for (const auto& entry : vault->entries) ids.push_back(entry.id);
        }
        return ids;
    }

    TempDir dir;
    std::string path = dir.file("tresor.json");
    HostProcess host{{path}};
};

using Ids = std::vector<std::string>;

TEST_F(EntriesSession, StoresListsAutofillsRevealsAndDeletesAcrossLockAndUnlock) {
    ok({{"id", 1}, {"op", "create"}, {"password", "korrekt-pferd-batterie"}});
    EXPECT_EQ(file_ids(), Ids{});

    const std::string first = ok({{"id", 2},
                                  {"op", "put"},
                                  {"host", "example.org"},
                                  {"username", "erika"},
                                  {"password", "geheim-1"},
                                  {"title", "Beispiel"}})["id"];
    EXPECT_EQ(file_ids(), Ids{first});
    const std::string second = ok({{"id", 3},
                                   {"op", "put"},
                                   {"host", "konto.bank.example"},
                                   {"username", "erika"},
                                   {"password", "geheim-2"}})["id"];
    EXPECT_NE(second, first);
    EXPECT_EQ(file_ids(), (Ids{first, second}));

    // Same host and user name: the first entry is updated in place; its title goes empty.
    EXPECT_EQ(ok({{"id", 4},
                  {"op", "put"},
                  {"host", "example.org"},
                  {"username", "erika"},
                  {"password", "geheim-3"}}),
              json({{"id", first}}));
    EXPECT_EQ(file_ids(), (Ids{first, second}));
    EXPECT_EQ(ok({{"id", 5},
                  {"op", "put"},
                  {"host", "Alpha.example"},
                  {"password", "geheim-4"},
                  {"entry_id", "eigene-id"}}),
              json({{"id", "eigene-id"}}));
    EXPECT_EQ(file_ids(), (Ids{first, second, "eigene-id"}));

    const json list = ok({{"id", 6}, {"op", "list"}});
    ASSERT_EQ(list.size(), 3u);
    const Ids sorted{list[0]["id"], list[1]["id"], list[2]["id"]};
    EXPECT_EQ(sorted, (Ids{"eigene-id", first, second}));
    EXPECT_EQ(list[1]["title"], "");
    EXPECT_FALSE(list[1].contains("password"));

    EXPECT_EQ(ok({{"id", 7}, {"op", "for-host"}, {"host", "www.EXAMPLE.org"}, {"secure", true}}),
              json::array({{{"host", "example.org"},
                            {"id", first},
                            {"password", "geheim-3"},
                            {"title", ""},
                            {"username", "erika"}}}));
    EXPECT_EQ(error({{"id", 8}, {"op", "for-host"}, {"host", "example.org"}}),
              "Autofill nur über HTTPS");

    EXPECT_EQ(ok({{"id", 9}, {"op", "reveal"}, {"entry_id", second}}),
              json({{"host", "konto.bank.example"},
                    {"id", second},
                    {"password", "geheim-2"},
                    {"title", ""},
                    {"username", "erika"}}));
    EXPECT_EQ(ok({{"id", 10}, {"op", "delete"}, {"entry_id", second}}), json({{"deleted", true}}));
    EXPECT_EQ(file_ids(), (Ids{first, "eigene-id"}));
    EXPECT_EQ(error({{"id", 11}, {"op", "delete"}, {"entry_id", second}}),
              "Eintrag nicht gefunden");

    const std::string before_lock = read_file(path);
    EXPECT_EQ(ok({{"id", 12}, {"op", "lock"}}), json({{"unlocked", false}}));
    EXPECT_EQ(error({{"id", 13}, {"op", "list"}}), "kein Tresor geladen");
    EXPECT_EQ(error({{"id", 14}, {"op", "put"}, {"host", "x"}, {"password", "y"}}),
              "Tresor ist gesperrt");
    EXPECT_EQ(read_file(path), before_lock);

    EXPECT_EQ(ok({{"id", 15}, {"op", "unlock"}, {"password", "korrekt-pferd-batterie"}}),
              json({{"entries", 2}, {"unlocked", true}}));
    EXPECT_EQ(ok({{"id", 16}, {"op", "reveal"}, {"entry_id", first}})["password"], "geheim-3");
    EXPECT_EQ(ok({{"id", 17}, {"op", "list"}}).size(), 2u);
    EXPECT_EQ(ok({{"id", 18}, {"op", "generate"}})["password"].get<std::string>().size(), 20u);

    EXPECT_EQ(host.wait(), 0);
}

}  // namespace
}  // namespace velkaron

// The vault file as docs/vault-format.md describes it, checked from outside the program with
// the libraries alone: the binary's entries open from their parts (vault key from Argon2id and
// "vault-key", each entry under its id), and an entry sealed outside opens in the binary.

#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "crypto/bytes.hpp"
#include "support/fixed_bytes.hpp"
#include "support/host_process.hpp"
#include "support/libsodium_base64.hpp"
#include "support/outside_crypto.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::argon2id_outside;
using testing_support::Bytes;
using testing_support::counting_bytes;
using testing_support::libsodium_base64;
using testing_support::libsodium_unbase64;
using testing_support::lines_of;
using testing_support::open_outside;
using testing_support::read_file;
using testing_support::run_host;
using testing_support::seal_outside;
using testing_support::TempDir;
using testing_support::write_file;
using Json = nlohmann::ordered_json;

constexpr const char* PASSWORD = "korrekt-pferd-batterie";

std::string text_of(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::optional<Bytes> open_sealed(const Bytes& key, const std::string& nonce, const std::string& ct,
                                 std::string_view associated_data) {
    return open_outside(key, libsodium_unbase64(nonce), libsodium_unbase64(ct), associated_data);
}

Json sealed_outside(const Bytes& key, const Bytes& nonce, const std::string& plaintext,
                    std::string_view associated_data) {
    return {
        {"nonce", libsodium_base64(nonce)},
        {"ct", libsodium_base64(seal_outside(key, nonce, bytes_of(plaintext), associated_data))}};
}

// The vault key of a document, through Argon2id with the numbers and the salt of the password
// record.
Bytes vault_key_of(const Json& vault, std::string_view password) {
    const Json& kdf = vault["kdf"];
    const Bytes key =
        argon2id_outside(password, libsodium_unbase64(kdf["salt"].get<std::string>()), kdf);
    const auto vault_key = open_sealed(key, vault["wrapped_key"]["nonce"].get<std::string>(),
                                       vault["wrapped_key"]["ct"].get<std::string>(), "vault-key");
    EXPECT_TRUE(vault_key.has_value()) << "wrapped_key does not open with the password key";
    return vault_key.value_or(Bytes{});
}

std::vector<std::string> names_of(const Json& object) {
    std::vector<std::string> names;
    for (const auto& item : object.items()) names.push_back(item.key());
    return names;
}

std::string create_with_entries(const TempDir& dir) {
    const auto session = run_host(
        {dir.file("tresor.json")},
        std::string(R"({"id":1,"op":"create","password":")") + PASSWORD + "\"}\n" +
            R"({"id":2,"op":"put","host":"example.org","username":"erika","password":"geheim-1","title":"Beispiel"})"
            "\n"
            R"({"id":3,"op":"put","host":"Zeitung.example","password":"p\u00e4ss\"w\\rt\u001f"})"
            "\n");
    EXPECT_EQ(session.status, 0);
    return session.out;
}

TEST(EntryInterop, DocumentIsCompactInTheDocumentedOrder) {
    TempDir dir;
    create_with_entries(dir);
    const std::string bytes = read_file(dir.file("tresor.json"));
    const Json vault = Json::parse(bytes);

    // Compact, members in declaration order, nothing after the closing brace.
    EXPECT_EQ(vault.dump(), bytes);
    EXPECT_EQ(names_of(vault),
              (std::vector<std::string>{"version", "kdf", "wrapped_key", "recovery", "entries"}));
    EXPECT_EQ(vault["version"], 1);
    const std::vector<std::string> kdf_names{"algorithm", "memory_kib", "iterations", "parallelism",
                                             "salt"};
    for (const Json* kdf : {&vault["kdf"], &vault["recovery"]["kdf"]}) {
        EXPECT_EQ(names_of(*kdf), kdf_names);
        EXPECT_EQ((*kdf)["algorithm"], "argon2id");
        EXPECT_EQ((*kdf)["memory_kib"], 65536);
        EXPECT_EQ((*kdf)["iterations"], 3);
        EXPECT_EQ((*kdf)["parallelism"], 1);
        EXPECT_EQ(libsodium_unbase64((*kdf)["salt"].get<std::string>()).size(), 16U);
    }
    EXPECT_NE(vault["kdf"]["salt"], vault["recovery"]["kdf"]["salt"]);
    EXPECT_EQ(names_of(vault["wrapped_key"]), (std::vector<std::string>{"nonce", "ct"}));
    EXPECT_EQ(names_of(vault["recovery"]), (std::vector<std::string>{"kdf", "nonce", "ct"}));
    ASSERT_EQ(vault["entries"].size(), 2U);
    for (const auto& entry : vault["entries"]) {
        EXPECT_EQ(names_of(entry), (std::vector<std::string>{"id", "nonce", "ct"}));
        EXPECT_TRUE(std::regex_match(
            entry["id"].get<std::string>(),
            std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
        EXPECT_EQ(entry["nonce"].get<std::string>().size(), 32U);
    }
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("tresor.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
}

TEST(EntryInterop, EntriesWrittenByTheBinaryOpenFromTheirParts) {
    TempDir dir;
    create_with_entries(dir);
    const Json vault = Json::parse(read_file(dir.file("tresor.json")));
    const Bytes vault_key = vault_key_of(vault, PASSWORD);
    ASSERT_EQ(vault_key.size(), 32U);

    const auto& entries = vault["entries"];
    ASSERT_EQ(entries.size(), 2U);
    std::vector<std::string> records;
    for (const auto& entry : entries) {
        const auto id = entry["id"].get<std::string>();
        const auto plaintext = open_sealed(vault_key, entry["nonce"].get<std::string>(),
                                           entry["ct"].get<std::string>(), id);
        ASSERT_TRUE(plaintext.has_value()) << "entry " << id << " does not open under its id";
        // Bound to its id: the other entry's id as associated data fails.
        const auto other = entries[&entry == &entries[0] ? 1 : 0]["id"].get<std::string>();
        EXPECT_FALSE(open_sealed(vault_key, entry["nonce"].get<std::string>(),
                                 entry["ct"].get<std::string>(), other)
                         .has_value());
        records.push_back(text_of(*plaintext));
    }

    // The login record: six members in order, compact, escaped as the document is.
    const std::regex record(
        R"re(\{"host":"(.*)","username":"(.*)","password":"(.*)","title":"(.*)","created_at":([0-9]+),"updated_at":([0-9]+)\})re");
    std::smatch first;
    ASSERT_TRUE(std::regex_match(records[0], first, record)) << records[0];
    EXPECT_EQ(first[1], "example.org");
    EXPECT_EQ(first[2], "erika");
    EXPECT_EQ(first[3], "geheim-1");
    EXPECT_EQ(first[4], "Beispiel");
    EXPECT_EQ(first[5], first[6]);
    EXPECT_EQ(records[1].substr(0, records[1].find(",\"created_at\"")),
              "{\"host\":\"Zeitung.example\",\"username\":\"\",\"password\":"
              "\"p\xC3\xA4ss\\\"w\\\\rt\\u001f\","
              "\"title\":\"\"");
    EXPECT_EQ(Json::parse(records[1]).dump(), records[1]);
}

TEST(EntryInterop, EntrySealedOutsideOpensInTheBinary) {
    TempDir dir;
    create_with_entries(dir);
    Json vault = Json::parse(read_file(dir.file("tresor.json")));
    const Bytes vault_key = vault_key_of(vault, PASSWORD);
    ASSERT_EQ(vault_key.size(), 32U);

    // Members in another order, no title, an unknown member: all allowed when reading.
    const std::string record =
        R"({"updated_at":1700000000,"created_at":1600000000,"password":"von außen","notiz":[1,{"a":2}],)"
        R"("username":"max","host":"aussen.example"})";
    const Bytes nonce = counting_bytes(0x40, crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
    Json outside = {{"id", "von-aussen"}};
    outside.update(sealed_outside(vault_key, nonce, record, "von-aussen"));
    Json moved = {{"id", "verschoben"}};  // sealed under another id
    moved.update(sealed_outside(vault_key, nonce, record, "von-aussen"));
    vault["entries"].push_back(outside);
    vault["entries"].push_back(moved);
    write_file(dir.file("tresor.json"), vault.dump());

    const auto session =
        run_host({dir.file("tresor.json")},
                 std::string(R"({"id":1,"op":"unlock","password":")") + PASSWORD + "\"}\n" +
                     R"({"id":2,"op":"reveal","entry_id":"von-aussen"})"
                     "\n"
                     R"({"id":3,"op":"reveal","entry_id":"verschoben"})"
                     "\n"
                     R"({"id":4,"op":"for-host","host":"www.aussen.example","secure":true})"
                     "\n");
    EXPECT_EQ(session.status, 0);
    EXPECT_EQ(session.out,
              "{\"id\":1,\"ok\":true,\"data\":{\"entries\":4,\"unlocked\":true}}\n"
              "{\"id\":2,\"ok\":true,\"data\":{\"host\":\"aussen.example\",\"id\":\"von-aussen\","
              "\"password\":\"von au\xC3\x9F"
              "en\",\"title\":\"\",\"username\":\"max\"}}\n"
              "{\"id\":3,\"ok\":false,\"error\":\"Entschlüsseln fehlgeschlagen\"}\n"
              "{\"id\":4,\"ok\":false,\"error\":\"Entschlüsseln fehlgeschlagen\"}\n");
}

// The associated data of an entry is its id as UTF-8 bytes after JSON unescaping, outside
// ASCII too: the binary seals "schlüssel" so, and opens "grüße" written with escapes.
TEST(EntryInterop, IdOutsideAsciiIsBoundAsItsUtf8Bytes) {
    TempDir dir;
    const auto session = run_host(
        {dir.file("tresor.json")},
        std::string(R"({"id":1,"op":"create","password":")") + PASSWORD + "\"}\n" +
            R"({"id":2,"op":"put","entry_id":"schl\u00fcssel","host":"a.example","password":"p"})"
            "\n");
    ASSERT_EQ(session.status, 0);
    Json vault = Json::parse(read_file(dir.file("tresor.json")));
    const Bytes vault_key = vault_key_of(vault, PASSWORD);
    const Json& stored = vault["entries"][0];
    EXPECT_EQ(stored["id"], "schl\xC3\xBCssel");
    EXPECT_TRUE(open_sealed(vault_key, stored["nonce"].get<std::string>(),
                            stored["ct"].get<std::string>(), "schl\xC3\xBCssel")
                    .has_value());

    const std::string record =
        R"({"host":"b.example","username":"","password":"q","title":"","created_at":1,"updated_at":1})";
    Json outside = {{"id",
                     "gr\xC3\xBC\xC3\x9F"
                     "e"}};
    outside.update(sealed_outside(vault_key, counting_bytes(0x40, 24), record,
                                  "gr\xC3\xBC\xC3\x9F"
                                  "e"));
    vault["entries"].push_back(outside);
    std::string document = vault.dump();
    const std::string raw_id =
        "\"gr\xC3\xBC\xC3\x9F"
        "e\"";
    document.replace(document.find(raw_id), raw_id.size(), R"("gr\u00fc\u00dfe")");
    write_file(dir.file("tresor.json"), document);

    const auto reveal =
        run_host({dir.file("tresor.json")},
                 std::string(R"({"id":1,"op":"unlock","password":")") + PASSWORD + "\"}\n" +
                     R"({"id":2,"op":"reveal","entry_id":"gr\u00fc\u00dfe"})"
                     "\n");
    EXPECT_EQ(reveal.status, 0);
    EXPECT_EQ(lines_of(reveal.out).back(),
              "{\"id\":2,\"ok\":true,\"data\":{\"host\":\"b.example\",\"id\":\"gr\xC3\xBC\xC3\x9F"
              "e\",\"password\":\"q\",\"title\":\"\",\"username\":\"\"}}");
}

}  // namespace
}  // namespace velkaron

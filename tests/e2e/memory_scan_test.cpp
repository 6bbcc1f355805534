// What the running host leaves behind, read from outside: after every request no secret that
// any request carried or any answer revealed is left in its memory, in whole or in pieces,
// and the vault key is only in its one guarded page; after lock, nothing at all.

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/host_process.hpp"
#include "support/libsodium_base64.hpp"
#include "support/outside_crypto.hpp"
#include "support/process_memory.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::Bytes;
using testing_support::MemoryImage;
using Json = nlohmann::ordered_json;

// A freed block loses its first bytes to the allocator's bookkeeping, so pieces count too.
constexpr std::size_t WINDOW = 12;

struct Secret {
    std::string name;
    std::vector<std::string> forms;  // every byte sequence the host may hold of it
};

// `length` bytes that cannot occur in memory by chance, with `extra` in the middle: a quote,
// a backslash or a tab give the JSON-escaped form bytes of its own, an umlaut takes two.
std::string random_secret(std::mt19937_64& random, std::size_t length, std::string_view extra) {
    static constexpr std::string_view LETTERS =
        "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!#$%&*+-=?@^_~";
    std::string text;
    while (text.size() + extra.size() < length) text += LETTERS[random() % LETTERS.size()];
    return text.insert(text.size() / 2, extra);
}

// The bytes the host may hold of `text`: as it is, and as it stands inside a JSON string.
std::vector<std::string> encodings(const std::string& text) {
    const std::string quoted = nlohmann::json(text).dump();
    const std::string escaped = quoted.substr(1, quoted.size() - 2);
    if (escaped == text) return {text};
    return {text, escaped};
}

class Secrets {
  public:
    void add(std::string name, const std::string& text) {
        secrets_.push_back({std::move(name), encodings(text)});
    }
    // A key: raw bytes, never in JSON.
    void add_key(std::string name, const Bytes& key) {
        secrets_.push_back({std::move(name), {std::string(key.begin(), key.end())}});
    }

    // Every occurrence of any secret, whole or in WINDOW-byte pieces, as "name at address
    // (mapping)".
    [[nodiscard]] std::vector<std::string> found_in(const MemoryImage& image) const {
        std::vector<std::string> needles;
        std::vector<std::size_t> owner;
        for (std::size_t s = 0; s < secrets_.size(); ++s) {
            for (const std::string& form : secrets_[s].forms) {
                const std::size_t windows = form.size() <= WINDOW ? 1 : form.size() - WINDOW + 1;
                for (std::size_t at = 0; at < windows; ++at) {
                    needles.push_back(form.substr(at, WINDOW));
                    owner.push_back(s);
                }
            }
        }
        std::vector<std::string> found;
        for (const auto& hit : testing_support::find_all(image, needles)) {
            const auto& mapping = image.mappings[hit.mapping];
            found.push_back(secrets_[owner[hit.needle]].name + " at 0x" + to_hex(hit.address) +
                            " (" + mapping.permissions + " " + mapping.name + ")");
        }
        return found;
    }

  private:
    static std::string to_hex(std::uintptr_t value) {
        char text[20];
        std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(value));
        return text;
    }

    std::vector<Secret> secrets_;
};

std::string as_text(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

// The key a record's `kdf` derives from `secret`, and the vault key it unwraps.
struct RecordKeys {
    Bytes derived;
    Bytes vault_key;
};

RecordKeys keys_of(const Json& kdf, const Json& sealed, std::string_view secret) {
    const Bytes salt = testing_support::libsodium_unbase64(kdf["salt"].get<std::string>());
    RecordKeys keys{testing_support::argon2id_outside(secret, salt, kdf), {}};
    const auto opened = testing_support::open_outside(
        keys.derived, testing_support::libsodium_unbase64(sealed["nonce"].get<std::string>()),
        testing_support::libsodium_unbase64(sealed["ct"].get<std::string>()), "vault-key");
    EXPECT_TRUE(opened.has_value()) << "the vault key does not open with " << secret;
    keys.vault_key = opened.value_or(Bytes{});
    return keys;
}

// Every piece of the vault key lies in one mapping fenced by inaccessible guard pages, and the
// whole key is there exactly once.
void expect_key_only_in_its_guarded_page(const MemoryImage& image, const Bytes& key) {
    const std::string whole = as_text(key);
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at + WINDOW <= whole.size(); ++at)
        pieces.push_back(whole.substr(at, WINDOW));
    const auto hits = testing_support::find_all(image, pieces);
    const auto copies = testing_support::find_all(image, {whole});
    ASSERT_EQ(copies.size(), 1U) << "whole copies of the vault key";
    const std::size_t page = copies[0].mapping;
    for (const auto& hit : hits) {
        EXPECT_EQ(hit.mapping, page)
            << "a piece of the vault key outside its page, in " << image.mappings[hit.mapping].name;
    }
    const auto& m = image.mappings;
    ASSERT_GT(page, 0U);
    ASSERT_LT(page + 1, m.size());
    EXPECT_EQ(m[page - 1].end, m[page].start);
    EXPECT_EQ(m[page - 1].permissions, "---p") << "no guard page before the key";
    EXPECT_EQ(m[page].end, m[page + 1].start);
    EXPECT_EQ(m[page + 1].permissions, "---p") << "no guard page after the key";
}

TEST(MemoryScan, NoSecretOutlivesTheRequestThatCarriedIt) {
    testing_support::TempDir dir;
    const std::string path = dir.file("tresor.json");
    testing_support::HostProcess host({path});
    if (const auto why = testing_support::memory_unreadable(host.pid())) {
        // The host is not dumpable: only a tracer with CAP_SYS_PTRACE, as root in CI, reads it.
        if (::geteuid() == 0) FAIL() << "running as root, yet the host cannot be read: " << *why;
        GTEST_SKIP() << "reading the memory of the non-dumpable host needs root: " << *why;
    }

    std::mt19937_64 random(std::random_device{}());
    std::vector<std::string> key_pieces;
    const std::string master = random_secret(random, 14, "\"");
    const std::string new_master = random_secret(random, 70, "\\\t");
    const std::string short_login = random_secret(random, 9, "");
    const std::string long_login = random_secret(random, 90, "\"\\");
    const std::string umlaut_login = random_secret(random, 30, "\xC3\xBC");

    Secrets secrets;
    std::optional<Bytes> vault_key;  // while the host should hold it
    // Sends one request, lets `learn` note what its answer reveals, waits until the host is
    // back at its input and looks at its memory.
    const auto request = [&](const Json& line, const std::function<void(const Json&)>& learn) {
        const Json answer = Json::parse(host.request(line.dump()));
        ASSERT_TRUE(answer["ok"].get<bool>()) << line.dump() << " → " << answer.dump();
        if (learn) learn(answer);
        testing_support::wait_until_in_call(host.pid(), SYS_read, STDIN_FILENO);
        const MemoryImage image = testing_support::read_memory(host.pid());
        const auto found = secrets.found_in(image);
        EXPECT_TRUE(found.empty()) << "after " << line["op"] << ": " << found.size()
                                   << " pieces, the first " << found.front();
        if (vault_key) {
            expect_key_only_in_its_guarded_page(image, *vault_key);
        } else if (!key_pieces.empty()) {
            EXPECT_TRUE(testing_support::find_all(image, key_pieces).empty())
                << "the vault key outlives " << line["op"];
        }
    };
    const auto vault_file = [&] { return Json::parse(testing_support::read_file(path)); };
    const auto learn_keys = [&](const Json& file, std::string_view password, const char* name) {
        const RecordKeys keys = keys_of(file["kdf"], file["wrapped_key"], password);
        secrets.add_key(name, keys.derived);
        return keys.vault_key;
    };

    std::string code;
    secrets.add("master password", master);
    request({{"id", 1}, {"op", "create"}, {"password", master}}, [&](const Json& answer) {
        code = answer["data"]["recoveryCode"].get<std::string>();
        secrets.add("recovery code", code);
        const Json file = vault_file();
        vault_key = learn_keys(file, master, "key derived from the master password");
        std::string normalized = code;
        std::erase(normalized, '-');
        const RecordKeys by_code = keys_of(file["recovery"]["kdf"], file["recovery"], normalized);
        secrets.add_key("key derived from the recovery code", by_code.derived);
        EXPECT_EQ(by_code.vault_key, *vault_key);
        const std::string whole = as_text(*vault_key);
        for (std::size_t at = 0; at + WINDOW <= whole.size(); ++at)
            key_pieces.push_back(whole.substr(at, WINDOW));
    });
    const Bytes key = vault_key.value_or(Bytes{});

    const std::pair<const char*, const std::string*> logins[] = {
        {"short login password", &short_login},
        {"long login password", &long_login},
        {"login password with an umlaut", &umlaut_login}};
    std::string long_id;
    for (const auto& [name, password] : logins) {
        secrets.add(name, *password);
        request({{"id", 2},
                 {"op", "put"},
                 {"host", "example.org"},
                 {"username", name},
                 {"password", *password}},
                [&, password = password](const Json& answer) {
                    if (password == &long_login) long_id = answer["data"]["id"].get<std::string>();
                });
    }
    // Pipelined: while a later request is answered, here into a pipe that is full, nothing of
    // the earlier one is left.
    const std::string pipelined = random_secret(random, 40, "");
    secrets.add("password of a pipelined put", pipelined);
    const Json big_put = {{"id", 3},
                          {"op", "put"},
                          {"host", "big.example"},
                          {"password", pipelined},
                          {"title", std::string(80'000, 'T')}};
    host.send_raw(big_put.dump() + "\n" + R"({"id":3,"op":"list"})" + "\n");
    testing_support::wait_until_in_call(host.pid(), SYS_write, STDOUT_FILENO);
    const auto while_answering = secrets.found_in(testing_support::read_memory(host.pid()));
    EXPECT_TRUE(while_answering.empty())
        << "while the next request is answered: " << while_answering.front();
    for (int answer = 0; answer < 2; ++answer) {
        const auto line = host.receive();
        ASSERT_TRUE(line && line->starts_with(R"({"id":3,"ok":true)")) << line.value_or("");
    }
    request({{"id", 3}, {"op", "list"}}, {});
    // A status is scrubbed less deeply than the rest; what its line carried goes all the same,
    // also from the lexer's inline token buffer, which holds up to 15 bytes.
    const std::string polled = random_secret(random, 15, "");
    const std::string unknown = random_secret(random, 13, "");
    secrets.add("password sent with a status", polled);
    secrets.add("unknown member of a status", unknown);
    request({{"id", 3}, {"op", "status"}, {"password", polled}, {"remark", unknown}}, {});
    request({{"id", 4}, {"op", "reveal"}, {"entry_id", long_id}}, {});
    request({{"id", 5}, {"op", "for-host"}, {"host", "login.example.org"}, {"secure", true}}, {});
    for (const int length : {8, 100}) {
        request({{"id", 6}, {"op", "generate"}, {"length", length}}, [&](const Json& answer) {
            secrets.add("generated password of " + std::to_string(length),
                        answer["data"]["password"].get<std::string>());
        });
    }
    // An import's rows and the file that carried them, then an export that reveals every
    // password, all sent once more in CSV inside JSON.
    const std::string imported = random_secret(random, 33, ",");
    const std::string file =
        "name,url,username,password,note\n"
        "Neu,https://import.example/,erika,\"" +
        imported + "\",\n";
    const std::string file_base64 =
        testing_support::libsodium_base64(std::vector<unsigned char>(file.begin(), file.end()));
    secrets.add("password of an imported row", imported);
    secrets.add("import file in Base64", file_base64);
    request({{"id", 6}, {"op", "import"}, {"data", file_base64}}, {});
    request({{"id", 6}, {"op", "export"}, {"password", master}}, {});
    secrets.add("new master password", new_master);
    request(
        {{"id", 7}, {"op", "change-password"}, {"password", master}, {"new_password", new_master}},
        [&](const Json&) {
            (void)learn_keys(vault_file(), new_master, "key derived from the new master password");
        });
    vault_key.reset();
    request({{"id", 8}, {"op", "lock"}}, {});
    vault_key = key;
    request({{"id", 9}, {"op", "unlock-recovery"}, {"code", code}}, {});
    vault_key.reset();
    request({{"id", 10}, {"op", "lock"}}, {});
    EXPECT_EQ(host.wait(), 0);
}

}  // namespace
}  // namespace velkaron

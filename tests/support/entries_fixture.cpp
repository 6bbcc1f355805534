#include "support/entries_fixture.hpp"

#include <array>
#include <regex>

#include "crypto/seal.hpp"
#include "entries/autofill.hpp"
#include "entries/open_entry.hpp"

namespace velkaron::testing_support {
namespace {

constexpr std::array<unsigned char, KEY_LEN> TEST_KEY{1, 2, 3, 4, 5, 6, 7, 8, 9};

void seal_into(HostState& state, std::string_view stored_id, std::string_view sealed_id,
               std::string_view plaintext) {
    const auto sealed = seal(
        state.key()->copy(),
        {reinterpret_cast<const unsigned char*>(plaintext.data()), plaintext.size()}, sealed_id);
    ASSERT_TRUE(sealed) << sealed.error();
    state.vault()->entries.push_back(SealedEntry{std::string(stored_id), *sealed});
}

}  // namespace

EntriesTest::EntriesTest() : state(dir.file("vault.json")) {
    VaultFile empty;
    empty.version = VAULT_VERSION;
    state.adopt(std::move(empty), std::nullopt);
    EXPECT_TRUE(state.unlock(VaultKey(TEST_KEY)).has_value());
}

void EntriesTest::move_to(std::string path) {
    HostState moved(std::move(path));
    moved.adopt(VaultFile(*state.vault()), std::nullopt);
    EXPECT_TRUE(moved.unlock(VaultKey(TEST_KEY)).has_value());
    state = std::move(moved);
}

void EntriesTest::store(std::string_view id, std::string_view host, std::string_view username,
                        std::uint64_t created_at, std::string_view password) {
    Entry entry;
    entry.host = host;
    entry.username = username;
    entry.password = password;
    entry.created_at = created_at;
    entry.updated_at = created_at + 1;
    const auto plaintext = write_entry(entry);
    ASSERT_TRUE(plaintext) << plaintext.error();
    seal_into(state, id, id, plaintext->view());
}

void EntriesTest::store_plaintext(std::string_view id, std::string_view plaintext) {
    seal_into(state, id, id, plaintext);
}

void EntriesTest::store_unopenable(std::string_view id) {
    seal_into(state, id, std::string(id) + "-moved", R"({"host":"h"})");
}

Entry EntriesTest::opened(std::size_t index) const {
    auto entry = open_entry(state, state.vault()->entries.at(index));
    if (!entry) ADD_FAILURE() << "entry " << index << ": " << entry.error();
    return entry ? std::move(*entry) : Entry{};
}

Result<nlohmann::json> written_data(const std::function<Status(json::DataWriter&)>& write) {
    SecretString bytes;
    json::DataWriter out(bytes);
    if (auto done = write(out); !done) return fail(std::move(done.error()));
    EXPECT_TRUE(out.encodable());
    const auto data = nlohmann::json::parse(bytes.view());
    EXPECT_EQ(bytes.view(), data.dump());
    return data;
}

Result<nlohmann::json> listed(HostState& state) {
    return written_data([&](json::DataWriter& out) { return list_entries(state, out); });
}

Result<nlohmann::json> found_for(HostState& state, std::string_view host) {
    return written_data([&](json::DataWriter& out) { return entries_for_host(state, host, out); });
}

Result<nlohmann::json> revealed(HostState& state, std::string_view entry_id) {
    return written_data([&](json::DataWriter& out) { return reveal_entry(state, entry_id, out); });
}

PutRequest login(std::string_view host, std::optional<std::string_view> entry_id) {
    return {.host = host, .username = "", .password = "pw", .title = "", .entry_id = entry_id};
}

bool is_uuid_v4(std::string_view id) {
    static const std::regex UUID(
        "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    return std::regex_match(id.begin(), id.end(), UUID);
}

}  // namespace velkaron::testing_support

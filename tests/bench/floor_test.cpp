#include "floor.hpp"

#include <gtest/gtest.h>
#include <sodium.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/seal.hpp"
#include "crypto/sodium.hpp"

namespace velkaron::bench {
namespace {

std::vector<unsigned char> random_of(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    if (size > 0) randombytes_buf(bytes.data(), bytes.size());  // an empty vector has no data
    return bytes;
}

// Every remainder of the length modulo 3, and a nonce's and a short ciphertext's length.
TEST(FloorBase64, DecodesWhatTheProjectsEncoderWrites) {
    init_sodium();
    for (const std::size_t size : {0, 1, 2, 3, 4, 5, 24, 40, 301}) {
        const auto bytes = random_of(size);
        const std::string text = base64_encode(bytes);
        std::vector<unsigned char> out(text.size() / 4 * 3);
        const auto written = decode_base64_into(text, out.data());
        ASSERT_EQ(written, size) << text;
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + size), bytes) << text;
    }
}

TEST(FloorBase64, RefusesLengthsAndCharactersOutsideTheAlphabet) {
    using namespace std::string_view_literals;
    for (const std::string_view text : {"Zg="sv, "Zm9vY"sv, "Zm9\n"sv, "-_8="sv, "Pz8_"sv, "Zm 9"sv,
                                        "Zm\0v"sv, "Zm9v\xc3\xa4=="sv}) {
        std::vector<unsigned char> out(text.size() / 4 * 3 + 3);
        EXPECT_EQ(decode_base64_into(text, out.data()), std::nullopt) << text;
    }
}

class EntryFloorTest : public ::testing::Test {
  protected:
    EntryFloorTest() {
        init_sodium();
        randombytes_buf(key.data(), key.size());
    }

    // Entries sealed under their ids; the largest not first, so that the buffers must be
    // sized by all of them.
    std::vector<SealedEntry> entries_of(const std::vector<std::string>& texts) const {
        std::vector<SealedEntry> entries;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            std::string id = "entry-" + std::to_string(i);
            auto sealed = seal(key, bytes_of(texts[i]), id);
            EXPECT_TRUE(sealed) << sealed.error();
            entries.push_back({std::move(id), std::move(*sealed)});
        }
        return entries;
    }

    Key32 key;
    const std::vector<std::string> plaintexts{R"({"host":"a"})", "", std::string(3000, 'x'),
                                              R"({"title":"b"})"};
};

TEST_F(EntryFloorTest, OpensEveryEntryOnEveryPass) {
    EntryFloor floor(entries_of(plaintexts), key.clone());
    const std::size_t all = 12 + 0 + 3000 + 13;
    EXPECT_EQ(floor.open_all(), all);
    EXPECT_EQ(floor.open_all(), all);
}

TEST_F(EntryFloorTest, ThrowsWhenAnEntryDoesNotOpen) {
    const std::vector<std::pair<const char*, std::function<void(std::vector<SealedEntry>&)>>>
        faults{
            {"ciphertext changed",
             [](auto& e) { e[2].sealed.ct[10] = e[2].sealed.ct[10] == 'A' ? 'B' : 'A'; }},
            {"ciphertext not Base64", [](auto& e) { e[2].sealed.ct[10] = '*'; }},
            {"ciphertext shorter than the tag", [](auto& e) { e[1].sealed.ct = "AAAA"; }},
            {"nonce of another entry", [](auto& e) { e[3].sealed.nonce = e[0].sealed.nonce; }},
            {"nonce too short", [](auto& e) { e[0].sealed.nonce.replace(28, 4, "AA=="); }},
            {"id of another entry", [](auto& e) { e[3].id = e[0].id; }},
        };
    for (const auto& [name, fault] : faults) {
        auto entries = entries_of(plaintexts);
        fault(entries);
        EntryFloor floor(std::move(entries), key.clone());
        EXPECT_THROW((void)floor.open_all(), std::runtime_error) << name;
    }
}

TEST_F(EntryFloorTest, ThrowsOnAPlaintextThatIsNoJsonText) {
    EntryFloor floor(entries_of({"{}", std::string("{\"a\":\0}", 7)}), key.clone());
    EXPECT_THROW((void)floor.open_all(), std::runtime_error);
}

}  // namespace
}  // namespace velkaron::bench

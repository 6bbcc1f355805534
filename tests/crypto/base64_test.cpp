#include "crypto/base64.hpp"

#include <gtest/gtest.h>
#include <sodium.h>

#include <random>

namespace velkaron {
namespace {

// The RFC 4648 vectors are in tests/vectors/base64.json.

TEST(Base64, RefusesWhatTheEncoderNeverWrites) {
    using namespace std::string_view_literals;
    const std::pair<std::string_view, const char*> refused[] = {
        {"Zg", "padding missing"},      {"Zg=", "padding short"},
        {"Zg===", "padding excessive"}, {"Zm8", "padding missing"},
        {"Zm9v\n", "line break"},       {"Zm9v\r\nYmFy", "line break inside"},
        {" Zm9v", "leading space"},     {"Zm 9v", "space inside"},
        {"-_8=", "URL-safe alphabet"},  {"Pz8_", "URL-safe alphabet"},
        {"Zh==", "leftover bits"},      {"Zm9=", "leftover bits"},
        {"Zg==Zg==", "padding inside"}, {"====", "padding only"},
        {"=Zg=", "padding first"},      {"Zg=A", "data after padding"},
        {"A===", "three pads"},         {"Zm\0v"sv, "NUL"},
        {"\200A==", "byte above 0x7F"}, {"Zm8\xFF", "byte above 0x7F"},
    };
    for (const auto& [text, why] : refused) {
        EXPECT_FALSE(base64_decode(text).has_value()) << why;
        EXPECT_FALSE(base64_decode_secret(text).has_value()) << why;
    }
}

// libsodium's strict decoder as the reference; nullopt where it refuses.
std::optional<std::vector<unsigned char>> sodium_decode(std::string_view text) {
    std::vector<unsigned char> bytes(text.size() + 1);  // never a null pointer
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
        return std::nullopt;
    }
    bytes.resize(length);
    return bytes;
}

TEST(Base64, AgreesWithLibsodiumOnRandomAndDamagedText) {
    std::mt19937 rng(4648);
    // ASCII only: libsodium 1.0.18 decodes some bytes above 0x7F as alphabet characters
    // (0x80 as "/"); those are covered by the table of refused texts above.
    constexpr std::string_view noise = "AZaz09+/=-_ \n\r\t.\x7F";
    for (int round = 0; round < 20000; ++round) {
        std::vector<unsigned char> bytes(rng() % 40);
        for (auto& b : bytes) b = static_cast<unsigned char>(rng());
        std::string text = base64_encode(bytes);
        ASSERT_EQ(text.size(),
                  sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL) - 1);
        switch (round % 4) {
            case 0:
                break;  // intact
            case 1:
                if (!text.empty()) text[rng() % text.size()] = noise[rng() % noise.size()];
                break;
            case 2:
                text.resize(rng() % (text.size() + 1));
                break;
            default:
                text.insert(rng() % (text.size() + 1), 1, noise[rng() % noise.size()]);
                break;
        }
        const auto decoded = base64_decode(text);
        EXPECT_EQ(decoded, sodium_decode(text)) << text;
        // The decoder for secrets takes the same texts to the same bytes.
        const auto secret = base64_decode_secret(text);
        ASSERT_EQ(secret.has_value(), decoded.has_value()) << text;
        if (secret) {
            EXPECT_EQ(std::vector<unsigned char>(secret->begin(), secret->end()), *decoded);
        }
        if (round % 4 == 0) {
            EXPECT_EQ(base64_decode(text), bytes);
        }
    }
}

// The decoder for secrets works through long texts a block of 4,096 characters at a time: texts
// ending on, just before and just after a block's end, and a bad character in a later block.
TEST(Base64, SecretDecoderAcrossItsBlocks) {
    std::mt19937 rng(4096);
    for (const std::size_t size : {3069, 3070, 3071, 3072, 3073, 3074, 6144, 10000}) {
        std::vector<unsigned char> bytes(size);
        for (auto& b : bytes) b = static_cast<unsigned char>(rng());
        std::string text = base64_encode(bytes);
        const auto secret = base64_decode_secret(text);
        ASSERT_TRUE(secret.has_value()) << size;
        EXPECT_EQ(std::vector<unsigned char>(secret->begin(), secret->end()), bytes) << size;
        text[text.size() - 5] = '-';
        EXPECT_FALSE(base64_decode_secret(text).has_value()) << size;
    }
}

}  // namespace
}  // namespace velkaron

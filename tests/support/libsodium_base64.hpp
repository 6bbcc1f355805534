#pragma once

// Base64 through libsodium's own strict codec: an implementation independent of ours, for
// tests that build or open vault values from their parts.

#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <vector>

namespace velkaron::testing_support {

inline std::string libsodium_base64(const std::vector<unsigned char>& bytes) {
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();  // the terminating zero
    return text;
}

inline std::vector<unsigned char> libsodium_unbase64(const std::string& text) {
    std::vector<unsigned char> bytes(text.size());
    std::size_t length = 0;
    EXPECT_EQ(sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr,
                                &length, nullptr, sodium_base64_VARIANT_ORIGINAL),
              0)
        << text;
    bytes.resize(length);
    return bytes;
}

}  // namespace velkaron::testing_support

// Base64 decoding. Text that decodes must encode back to exactly the same text, and the
// decoder must agree with libsodium's strict decoder and with the decoder for secrets; any
// bytes must survive a round trip.

#include <sodium.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "crypto/base64.hpp"

namespace {

// libsodium's strict decoder: the whole text, exact padding, no characters ignored.
std::optional<std::vector<unsigned char>> sodium_decode(std::string_view text) {
    std::vector<unsigned char> bytes(text.size() + 1);
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
        return std::nullopt;
    }
    bytes.resize(length);
    return bytes;
}

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto decoded = velkaron::base64_decode(text);
    if (decoded && velkaron::base64_encode(*decoded) != text) std::abort();
    // libsodium 1.0.18 maps some bytes above 0x7F to alphabet characters; the encoder never
    // writes them, so such text must be refused here whatever libsodium says.
    if (is_ascii(text)) {
        if (decoded != sodium_decode(text)) std::abort();
    } else if (decoded) {
        std::abort();
    }
    // The decoder for secrets takes exactly the same texts to the same bytes.
    const auto secret = velkaron::base64_decode_secret(text);
    if (decoded.has_value() != secret.has_value() ||
        (decoded &&
         !std::equal(decoded->begin(), decoded->end(), secret->begin(), secret->end(),
                     [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); }))) {
        std::abort();
    }
    const std::span<const unsigned char> bytes(data, size);
    const auto round_trip = velkaron::base64_decode(velkaron::base64_encode(bytes));
    if (!round_trip ||
        !std::equal(round_trip->begin(), round_trip->end(), bytes.begin(), bytes.end())) {
        std::abort();
    }
    return 0;
}

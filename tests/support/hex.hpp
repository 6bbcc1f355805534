#pragma once

#include <sodium.h>

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron::testing_support {

inline std::vector<unsigned char> from_hex(std::string_view hex) {
    std::vector<unsigned char> bytes(hex.size() / 2);
    std::size_t length = 0;
    if (sodium_hex2bin(bytes.data(), bytes.size(), hex.data(), hex.size(), nullptr, &length,
                       nullptr) != 0 ||
        length != bytes.size()) {
        throw std::invalid_argument("bad hex in test data");
    }
    return bytes;
}

inline std::string to_hex(std::span<const unsigned char> bytes) {
    std::string hex(bytes.size() * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    hex.pop_back();
    return hex;
}

}  // namespace velkaron::testing_support

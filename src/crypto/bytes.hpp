#pragma once

#include <span>
#include <string_view>

namespace velkaron {

// The bytes of a text, as the crypto functions take them.
inline std::span<const unsigned char> bytes_of(std::string_view text) noexcept {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

}  // namespace velkaron

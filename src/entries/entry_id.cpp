#include "entries/entry_id.hpp"

#include "crypto/random.hpp"

namespace velkaron {

std::string format_uuid_v4(std::array<unsigned char, UUID_LEN> bytes) {
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
    constexpr char HEX[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * UUID_LEN + 4);
    for (std::size_t i = 0; i < UUID_LEN; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += HEX[bytes[i] >> 4];
        text += HEX[bytes[i] & 0x0f];
    }
    return text;
}

std::string new_entry_id() {
    std::array<unsigned char, UUID_LEN> bytes{};
    fill_random(bytes, "could not retrieve random bytes for uuid: ");
    return format_uuid_v4(bytes);
}

}  // namespace velkaron

// Bytes through Utf8Scanner, whole and in two pieces, against a plain decoder written from the
// rules (RFC 3629): the scanner must take exactly the texts the rules take, and where the input
// is cut must not matter.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/utf8.hpp"

namespace {

// The length of the character starting at `bytes[at]`, or 0 when none starts there.
std::size_t character_length(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, value = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, value = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, value = lead & 0x07;
    else
        return 0;
    if (at + length > bytes.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

bool utf8_by_the_rules(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = character_length(bytes, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    velkaron::Utf8Scanner whole;
    const bool valid = whole.feed(bytes) && whole.complete();
    if (valid != utf8_by_the_rules(bytes) || valid != velkaron::is_utf8(bytes)) std::abort();

    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    velkaron::Utf8Scanner pieces;
    const bool fed = pieces.feed(bytes.substr(0, cut)) && pieces.feed(bytes.substr(cut));
    if ((fed && pieces.complete()) != valid) std::abort();
    if (valid && pieces.blank() != whole.blank()) std::abort();
    return 0;
}

#include "json/describe.hpp"

#include <charconv>
#include <cstdlib>

#include "base/wire_texts.hpp"

namespace velkaron::json {

std::string format_float(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    std::string out;
    if (text.starts_with('-')) {
        out += '-';
        text.remove_prefix(1);
    }
    const std::size_t e = text.find('e');
    std::string digits(text.substr(0, e));
    if (digits.size() > 1) digits.erase(1, 1);  // drop the decimal point
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
    const int length = static_cast<int>(digits.size());
    const int point = exponent + 1;  // digits before the decimal point

    if (point >= length && point <= 16) {
        out += digits;
        out.append(static_cast<std::size_t>(point - length), '0');
        out += ".0";
    } else if (point > 0 && point <= 16) {
        out += digits.substr(0, static_cast<std::size_t>(point));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(point));
    } else if (point > -5 && point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else {
        out += digits.substr(0, 1);
        if (length > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'e';
        out += std::to_string(point - 1);
    }
    return out;
}

std::string debug_quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    char digits[2];
                    out += wire::CONTROL_ESCAPE;
                    out.append(digits, std::to_chars(digits, digits + sizeof digits, byte, 16).ptr);
                    out += wire::CONTROL_ESCAPE_END;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string library_message(std::string_view what, std::string_view last_token) {
    std::string_view message = what;
    if (message.starts_with("[json.exception.")) {
        const std::size_t close = message.find("] ");
        if (close != std::string_view::npos) message.remove_prefix(close + 2);
    }
    if (message.starts_with("parse error")) {
        const std::size_t colon = message.find(": ");
        if (colon != std::string_view::npos) message.remove_prefix(colon + 2);
    }
    std::string out(message);
    const std::string tail = "; last read: '" + std::string(last_token) + "'";
    const std::size_t at = out.find(tail);
    if (at != std::string::npos) out.erase(at, tail.size());
    return out;
}

}  // namespace velkaron::json

#include "entries/entry_scan.hpp"

#include <cstdint>
#include <cstring>

#include "base/utf8.hpp"
#include "entries/entry_form.hpp"
#include "json/writer.hpp"

namespace velkaron {
namespace {

class Scanner {
  public:
    explicit Scanner(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {}

    bool literal(std::string_view expected) {
        if (static_cast<std::size_t>(end_ - at_) < expected.size() ||
            std::memcmp(at_, expected.data(), expected.size()) != 0) {
            return false;
        }
        at_ += expected.size();
        return true;
    }

    // A string as json::append_string writes it, decoded into `out`.
    bool string(SecretString& out) {
        out.clear();
        if (!literal("\"")) return false;
        unsigned char high_bits = 0;
        const char* run = at_;  // start of the bytes not yet copied
        for (;;) {
            // A run ends at the closing quote, an escape, or a control character the writer
            // never leaves raw. Walked with a local pointer, which stays in a register.
            const char* at = at_;
            while (at != end_ && !json::escaped_in_string(static_cast<unsigned char>(*at))) {
                high_bits |= static_cast<unsigned char>(*at);
                ++at;
            }
            at_ = at;
            if (at_ == end_) return false;
            const char c = *at_;
            if (c == '"') break;
            if (c != '\\') return false;  // the writer escapes every control character
            out.append(run, at_);
            if (!escape(out)) return false;
            run = at_;
        }
        out.append(run, at_);
        ++at_;
        // Escapes stand for ASCII, so the decoded text is UTF-8 exactly when the raw one is.
        return (high_bits & 0x80) == 0 || is_utf8(out);
    }

    // Decimal digits as std::to_chars writes a u64: "0", or no leading zero and no overflow.
    bool number(std::uint64_t& value) {
        const char* start = at_;
        std::uint64_t v = 0;
        while (at_ != end_ && *at_ >= '0' && *at_ <= '9') {
            const auto digit = static_cast<std::uint64_t>(*at_ - '0');
            if (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, digit, &v)) {
                return false;
            }
            ++at_;
        }
        if (at_ == start || (*start == '0' && at_ - start > 1)) return false;
        value = v;
        return true;
    }

    [[nodiscard]] bool at_end() const { return at_ == end_; }

  private:
    // One escape at `at_`, in the only spelling the writer uses for its character.
    bool escape(SecretString& out) {
        if (end_ - at_ < 2) return false;
        const char kind = at_[1];
        at_ += 2;
        switch (kind) {
            case '"':
            case '\\':
                out += kind;
                return true;
            case 'b':
                out += '\b';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 'u':
                return control_escape(out);
            default:
                return false;
        }
    }

    // "00" and two lower-case hex digits naming a control character without a short escape.
    bool control_escape(SecretString& out) {
        if (end_ - at_ < 4 || at_[0] != '0' || at_[1] != '0') return false;
        const int high = hex_digit(at_[2]);
        const int low = hex_digit(at_[3]);
        if (high < 0 || high > 1 || low < 0) return false;
        const char c = static_cast<char>(high << 4 | low);
        if (c == '\b' || c == '\t' || c == '\n' || c == '\f' || c == '\r') return false;
        out += c;
        at_ += 4;
        return true;
    }

    static int hex_digit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }

    const char* at_;
    const char* end_;
};

}  // namespace

bool scan_entry(std::string_view plaintext, Entry& entry) {
    namespace form = entry_form;
    Scanner s(plaintext);
    return s.literal(form::HOST) && s.string(entry.host) && s.literal(form::USERNAME) &&
           s.string(entry.username) && s.literal(form::PASSWORD) && s.string(entry.password) &&
           s.literal(form::TITLE) && s.string(entry.title) && s.literal(form::CREATED_AT) &&
           s.number(entry.created_at) && s.literal(form::UPDATED_AT) &&
           s.number(entry.updated_at) && s.literal(form::END) && s.at_end();
}

}  // namespace velkaron

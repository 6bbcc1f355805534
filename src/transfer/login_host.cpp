#include "transfer/login_host.hpp"

#include <idn2.h>
#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "base/utf8.hpp"

namespace velkaron {
namespace {

constexpr char NO_HOST[] = "kein gültiger Host in der Adresse";

bool is_ascii_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// As the URL parser takes its input: without leading and trailing controls and spaces, and
// without tabs and line breaks anywhere; `storage` holds the text only when it had to change.
std::string_view cleaned(std::string_view url, SecretString& storage) {
    const auto outside = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!url.empty() && outside(url.front())) url.remove_prefix(1);
    while (!url.empty() && outside(url.back())) url.remove_suffix(1);
    if (url.find_first_of("\t\n\r") == std::string_view::npos) return url;
    for (const char c : url) {
        if (c != '\t' && c != '\n' && c != '\r') storage += c;
    }
    return storage.view();
}

// The scheme `url` starts with, lower case, or empty for a bare host: `example.org:8080`
// names a port, not a scheme.
std::string scheme_of(std::string_view url) {
    if (url.empty() || !is_ascii_alpha(url.front())) return {};
    const auto colon = std::find_if_not(url.begin(), url.end(), [](char c) {
        return is_ascii_alpha(c) || is_digit(c) || c == '+' || c == '-' || c == '.';
    });
    if (colon == url.end() || *colon != ':') return {};
    const auto after = colon + 1;
    const auto port_end = std::find_if_not(after, url.end(), is_digit);
    const bool port =
        port_end != after && (port_end == url.end() ||
                              std::string_view("/?#").find(*port_end) != std::string_view::npos);
    if (port) return {};
    std::string scheme(url.begin(), colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), lower);
    return scheme;
}

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    c = lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

SecretString percent_decoded(std::string_view text) {
    if (text.find('%') == std::string_view::npos) return SecretString(text);
    SecretString out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hex_value(text[i + 1]);
            const int low = hex_value(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Code points the URL standard forbids in a domain, as a table: every byte of every host is
// looked up.
constexpr std::array<bool, 256> FORBIDDEN_IN_DOMAIN = [] {
    std::array<bool, 256> forbidden{};
    for (std::size_t c = 0; c <= 0x20; ++c) forbidden[c] = true;
    forbidden[0x7F] = true;
    for (const char c : std::string_view("#%/:<>?@[\\]^|")) {
        forbidden[static_cast<unsigned char>(c)] = true;
    }
    return forbidden;
}();

bool forbidden_in_domain(char c) {
    return FORBIDDEN_IN_DOMAIN[static_cast<unsigned char>(c)];
}

Result<SecretString> ascii_domain(SecretString domain) {
    const bool ascii = std::all_of(domain.begin(), domain.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    SecretString host;
    if (ascii) {
        host = std::move(domain);
        std::transform(host.begin(), host.end(), host.begin(), lower);
    } else {
        if (!is_utf8(domain.view())) return fail(NO_HOST);
        char* converted = nullptr;
        if (idn2_to_ascii_8z(domain.c_str(), &converted, IDN2_NONTRANSITIONAL) != IDN2_OK) {
            return fail("Host nicht in ASCII umwandelbar (IDNA)");
        }
        host = std::string_view(converted);
        sodium_memzero(converted, std::strlen(converted));
        idn2_free(converted);
    }
    if (host.empty() || std::any_of(host.begin(), host.end(), forbidden_in_domain)) {
        return fail(NO_HOST);
    }
    return host;
}

}  // namespace

Result<SecretString> login_host(std::string_view url) {
    SecretString storage;
    std::string_view rest = cleaned(url, storage);
    if (rest.empty()) return fail("keine Adresse");
    const std::string scheme = scheme_of(rest);
    if (!scheme.empty()) {
        if (scheme != "http" && scheme != "https") {
            return fail("Schema `" + scheme + ":` nicht unterstützt");
        }
        rest.remove_prefix(scheme.size() + 1);
        while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\'))
            rest.remove_prefix(1);
    }
    rest = rest.substr(0, rest.find_first_of("/\\?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    if (rest.starts_with('[')) {
        // An IPv6 address keeps its brackets, as `hostname` gives it.
        const auto close = rest.find(']');
        if (close == std::string_view::npos ||
            rest.substr(1, close - 1).find_first_not_of("0123456789abcdefABCDEF:.") !=
                std::string_view::npos) {
            return fail(NO_HOST);
        }
        SecretString host(rest.substr(0, close + 1));
        std::transform(host.begin(), host.end(), host.begin(), lower);
        return host;
    }
    rest = rest.substr(0, rest.find(':'));
    return ascii_domain(percent_decoded(rest));
}

}  // namespace velkaron

#include "entries/host_match.hpp"

#include <algorithm>

namespace velkaron {
namespace {

// Only the lower-case prefix, before case folding: "WWW." stays and folds to "www.".
std::string_view without_www(std::string_view host) {
    while (host.starts_with("www.")) host.remove_prefix(4);
    return host;
}

char fold_ascii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `folded` is already normalised; `raw` is folded byte by byte, so no copy is made per entry.
bool equal_folded(std::string_view folded, std::string_view raw) {
    return std::equal(folded.begin(), folded.end(), raw.begin(), raw.end(),
                      [](char f, char r) { return f == fold_ascii(r); });
}

// An address has no subdomains: a last label of digits alone (IPv4) or a bracketed IPv6 host.
bool is_ip_literal(std::string_view host) {
    if (host.starts_with('[')) return true;
    const std::string_view last = host.substr(host.rfind('.') + 1);
    return !last.empty() &&
           std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

HostMatcher::HostMatcher(std::string_view requested_host)
    : requested_(without_www(requested_host)) {
    std::transform(requested_.begin(), requested_.end(), requested_.begin(), fold_ascii);
    subdomains_ = !is_ip_literal(requested_);
}

bool HostMatcher::matches(std::string_view stored_host) const {
    const std::string_view requested = requested_;
    const std::string_view stored = without_www(stored_host);
    if (stored.empty() || requested.empty()) return false;
    if (equal_folded(requested, stored) || equal_folded(requested, stored_host)) return true;
    // A subdomain of the host as stored, "www." included: a login for www.H serves what lies
    // under www.H, never H's other subdomains.
    if (!subdomains_ || requested.size() <= stored_host.size()) return false;
    const std::size_t suffix = requested.size() - stored_host.size();
    return requested[suffix - 1] == '.' && equal_folded(requested.substr(suffix), stored_host);
}

}  // namespace velkaron

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

}  // namespace

HostMatcher::HostMatcher(std::string_view requested_host)
    : requested_(without_www(requested_host)) {
    std::transform(requested_.begin(), requested_.end(), requested_.begin(), fold_ascii);
}

bool HostMatcher::matches(std::string_view stored_host) const {
    const std::string_view stored = without_www(stored_host);
    const std::string_view requested = requested_;
    if (stored.empty() || requested.empty() || requested.size() < stored.size()) return false;
    if (requested.size() == stored.size()) return equal_folded(requested, stored);
    // A subdomain: the requested host ends with a dot and the stored one.
    const std::size_t suffix = requested.size() - stored.size();
    return requested[suffix - 1] == '.' && equal_folded(requested.substr(suffix), stored);
}

}  // namespace velkaron

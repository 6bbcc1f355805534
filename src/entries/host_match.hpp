#pragma once

#include <string>
#include <string_view>

namespace velkaron {

// Decides which stored hosts serve a requested host: the same host once both are normalised
// (leading "www." removed, ASCII letters lower-cased), or a parent domain of the normalised
// requested host, taken with its "www." (so a login for www.H serves H and www.H but not
// H's other subdomains). A requested IP address matches only an equal stored host.
class HostMatcher {
  public:
    explicit HostMatcher(std::string_view requested_host);

    [[nodiscard]] bool matches(std::string_view stored_host) const;

  private:
    std::string requested_;   // normalised once per look-up
    bool subdomains_ = true;  // false for an IP address, which has none
};

}  // namespace velkaron

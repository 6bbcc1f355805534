#pragma once

#include <string>
#include <string_view>

namespace velkaron {

// Decides which stored hosts serve a requested host: the same host or a parent domain of it,
// after both are normalised (leading "www." removed, ASCII letters lower-cased).
class HostMatcher {
  public:
    explicit HostMatcher(std::string_view requested_host);

    [[nodiscard]] bool matches(std::string_view stored_host) const;

  private:
    std::string requested_;  // normalised once per look-up
};

}  // namespace velkaron

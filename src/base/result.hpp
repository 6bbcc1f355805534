#pragma once

#include <string>
#include <utility>

#include <tl/expected.hpp>

namespace velkaron {

// Every operation gives a value or the German message sent to the client; nothing else.
template <class T>
using Result = tl::expected<T, std::string>;
using Status = Result<void>;

inline tl::unexpected<std::string> fail(std::string message) {
    return tl::make_unexpected(std::move(message));
}

}  // namespace velkaron

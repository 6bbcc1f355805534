#pragma once

#include <string>
#include <utility>

#include <tl/expected.hpp>

namespace velkaron {

// Every operation gives a value or the German message sent to the client; nothing else. The
// type itself is [[nodiscard]], so a dropped failure does not compile under -Werror.
template <class T>
class [[nodiscard]] Result : public tl::expected<T, std::string> {
  public:
    using tl::expected<T, std::string>::expected;
    using tl::expected<T, std::string>::operator=;
    Result(tl::expected<T, std::string> other) : tl::expected<T, std::string>(std::move(other)) {}
};
using Status = Result<void>;

inline tl::unexpected<std::string> fail(std::string message) {
    return tl::make_unexpected(std::move(message));
}

}  // namespace velkaron

// Binds `var` to the result of `expr` and returns from the calling function with its message,
// moved, when it failed. A statement rather than an expression: GNU statement expressions do
// not compile under -Wpedantic -Werror.
#define VELKARON_TRY(var, expr) \
    auto var = (expr);          \
    if (!var) return ::velkaron::fail(std::move(var.error()))

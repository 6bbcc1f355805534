#pragma once

// What a command gives: a value, or the message to print and the exit status that goes with it.

#include <string>
#include <utility>

#include <tl/expected.hpp>

namespace velkaron::cli {

inline constexpr int EXIT_DONE = 0;
inline constexpr int EXIT_HOST_ERROR = 1;  // the host refused, or the command could not be done
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_NOT_FOUND = 3;  // no entry, or several, where one was needed
inline constexpr int EXIT_HOST_GONE = 4;  // velkaron-vault could not be started or ended early

struct Failure {
    int status = EXIT_HOST_ERROR;
    std::string message;
};

template <class T>
using Outcome = tl::expected<T, Failure>;
using Done = Outcome<void>;

// One constructor per exit status, so that a message's status is read where it is written.
inline tl::unexpected<Failure> refused(std::string message) {
    return tl::make_unexpected(Failure{EXIT_HOST_ERROR, std::move(message)});
}
inline tl::unexpected<Failure> usage_error(std::string message) {
    return tl::make_unexpected(Failure{EXIT_USAGE, std::move(message)});
}
inline tl::unexpected<Failure> not_found(std::string message) {
    return tl::make_unexpected(Failure{EXIT_NOT_FOUND, std::move(message)});
}
inline tl::unexpected<Failure> host_gone(std::string message) {
    return tl::make_unexpected(Failure{EXIT_HOST_GONE, std::move(message)});
}
inline tl::unexpected<Failure> pass_on(Failure failure) {
    return tl::make_unexpected(std::move(failure));
}

}  // namespace velkaron::cli

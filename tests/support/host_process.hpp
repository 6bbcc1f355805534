#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/child_process.hpp"

namespace velkaron::testing_support {

// The velkaron-vault binary under test, spoken to through pipes as a client does.
class HostProcess : public ChildProcess {
  public:
    // Arguments after the program name; usually just the vault path.
    explicit HostProcess(const std::vector<std::string>& args)
        : ChildProcess(VELKARON_BINARY, args) {}
};

// Runs the binary under test on `input` to the end.
[[nodiscard]] inline Finished run_host(const std::vector<std::string>& args,
                                       std::string_view input) {
    return run_to_end(VELKARON_BINARY, args, input);
}

}  // namespace velkaron::testing_support

#pragma once

// Files a vault cannot be loaded from, with the message loading gives: the same table for the
// library (tests/vault/) and for the binary (tests/e2e/), which must say the same.

#include <functional>
#include <string>
#include <vector>

namespace velkaron::testing_support {

struct LoadCase {
    const char* name;
    std::function<void(const std::string& path)> prepare;  // leaves the file at `path`
    std::string error;
};

[[nodiscard]] std::vector<LoadCase> vault_load_faults();

}  // namespace velkaron::testing_support

#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/secret_string.hpp"

namespace velkaron {

// The program's JSON values, for response data and for the reader's lexer. Every node, string
// and token buffer lives in wiping blocks: a revealed password or a request's master password
// passes through them.
using Json = nlohmann::basic_json<std::map, std::vector, WipingString, bool, std::int64_t,
                                  std::uint64_t, double, WipingAllocator>;

}  // namespace velkaron

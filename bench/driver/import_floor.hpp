#pragma once

#include <cstddef>
#include <string>

#include "crypto/secret.hpp"

namespace velkaron::bench {

// The file of an import of `count` logins in Chromium's dialect: login i as the prepared
// vaults hold it (prepared_vault.hpp).
[[nodiscard]] std::string import_file(std::size_t count);

// What an import of import_file(count) into the empty vault at `empty` cannot undercut: the
// same logins written as entry plaintexts and sealed under new ids into a copy of it at
// `scratch`, then one save_vault of the result. Milliseconds.
[[nodiscard]] double import_floor_ms(const std::string& empty, const Key32& key, std::size_t count,
                                     const std::string& scratch);

}  // namespace velkaron::bench

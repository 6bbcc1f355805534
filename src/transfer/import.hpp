#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "state/host_state.hpp"
#include "transfer/import_plan.hpp"
#include "transfer/import_rows.hpp"

namespace velkaron {

// The most file bytes an import takes.
inline constexpr std::size_t MAX_IMPORT_BYTES = std::size_t{16} * 1024 * 1024;

// What an import did, as its answer reports it.
struct ImportSummary {
    ImportCounts counts;
    std::vector<SkippedRow> skipped;
    std::vector<std::size_t> notes_dropped;
};

// Imports the CSV file whose bytes `base64` holds into the unlocked vault as one change,
// saved once: on a vault file another client has changed meanwhile it is planned and made
// anew. Nothing is written when every row is unchanged, a conflict or skipped. Refused, with
// nothing changed, for a locked vault, text that is not Base64, a file over MAX_IMPORT_BYTES
// and every refusal of read_csv and dialect_of; a failed save leaves the vault in memory as
// it was.
[[nodiscard]] Result<ImportSummary> import_file(HostState& state, std::string_view base64,
                                                bool replace);

}  // namespace velkaron

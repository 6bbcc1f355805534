#pragma once

#include <string_view>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "state/host_state.hpp"

namespace velkaron {

// Every login of the unlocked vault, in file order, as a CSV file in the dialect of
// Chromium's password export (`name,url,username,password,note`: the title, `https://HOST/`,
// the user name, the password, an empty note), which browsers and password managers import.
// `password` is checked as unlock checks it, so that an unlocked host left alone cannot be
// emptied without it; the first entry that fails to open fails the export, as it fails list.
[[nodiscard]] Result<SecretString> export_csv(HostState& state, std::string_view password);

}  // namespace velkaron

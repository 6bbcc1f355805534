#include "keys/create.hpp"
#include "keys/unlock.hpp"

namespace velkaron {

Result<std::string> create_vault(HostState&, std::string_view) {
    return fail("Operation noch nicht verfügbar");
}
Status unlock_vault(HostState&, std::string_view) { return fail("Operation noch nicht verfügbar"); }
Status unlock_with_recovery(HostState&, std::string_view) {
    return fail("Operation noch nicht verfügbar");
}
Status change_password(HostState&, std::string_view, std::string_view) {
    return fail("Operation noch nicht verfügbar");
}

}  // namespace velkaron

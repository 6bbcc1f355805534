#pragma once

// How GoogleTest shows an Entry when a comparison fails: its members, not its bytes.

#include <ostream>

#include "entries/entry.hpp"

namespace velkaron {

inline void PrintTo(const Entry& entry, std::ostream* out) {
    *out << "{host: \"" << entry.host << "\", username: \"" << entry.username << "\", password: \""
         << entry.password << "\", title: \"" << entry.title
         << "\", created_at: " << entry.created_at << ", updated_at: " << entry.updated_at << "}";
}

}  // namespace velkaron

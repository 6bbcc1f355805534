#pragma once

#include <string_view>

namespace velkaron::entry_form {

// What write_entry writes before each value of an entry plaintext, in order, and after the
// last; scan_entry accepts exactly these.
inline constexpr std::string_view HOST = R"({"host":)";
inline constexpr std::string_view USERNAME = R"(,"username":)";
inline constexpr std::string_view PASSWORD = R"(,"password":)";
inline constexpr std::string_view TITLE = R"(,"title":)";
inline constexpr std::string_view CREATED_AT = R"(,"created_at":)";
inline constexpr std::string_view UPDATED_AT = R"(,"updated_at":)";
inline constexpr std::string_view END = "}";

}  // namespace velkaron::entry_form

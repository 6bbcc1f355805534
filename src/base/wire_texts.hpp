#pragma once

// The English details that stand inside the German messages a client receives. They are a
// contract with clients, listed in docs/protocol.md: a client may match on them, so a change is
// a change of the protocol. They stay English because they report a fault in the wording of
// the layer that found it (the JSON reader, the key derivation, the operating system), which is
// the wording a developer searches for; the German message around them says what failed.

#include <string_view>

namespace velkaron::wire {

// The reader's faults, each followed by its position: "<fault> at line <l> column <c>".
inline constexpr std::string_view AT_LINE = " at line ";
inline constexpr std::string_view AT_COLUMN = " column ";
inline constexpr std::string_view TRAILING_CHARACTERS = "trailing characters";
inline constexpr std::string_view UNEXPECTED_END = "unexpected end of input";
inline constexpr std::string_view INVALID_LITERAL =
    "syntax error while parsing value - invalid literal";
inline constexpr std::string_view RECURSION_LIMIT_EXCEEDED = "recursion limit exceeded";
inline constexpr std::string_view LINE_TOO_LONG = "line too long";
// "missing field `id`", "duplicate field `op`"
inline constexpr std::string_view MISSING_FIELD = "missing field `";
inline constexpr std::string_view DUPLICATE_FIELD = "duplicate field `";
inline constexpr std::string_view FIELD_END = "`";
// "invalid type: <found>, expected <expectation>", "invalid value: <found>, expected <…>"
inline constexpr std::string_view INVALID_TYPE = "invalid type: ";
inline constexpr std::string_view INVALID_VALUE = "invalid value: ";
inline constexpr std::string_view EXPECTED = ", expected ";
// "invalid length 1, expected struct Request with 11 elements"
inline constexpr std::string_view INVALID_LENGTH = "invalid length ";
inline constexpr std::string_view WITH_ELEMENTS = " with ";
inline constexpr std::string_view ELEMENTS = " elements";

// What a type or value fault found.
inline constexpr std::string_view FOUND_NULL = "null";
inline constexpr std::string_view FOUND_TRUE = "boolean `true`";
inline constexpr std::string_view FOUND_FALSE = "boolean `false`";
inline constexpr std::string_view FOUND_INTEGER = "integer `";  // digits, then "`"
inline constexpr std::string_view FOUND_FLOAT = "floating point `";
inline constexpr std::string_view FOUND_STRING = "string ";  // then the text, quoted
inline constexpr std::string_view FOUND_MAP = "map";
inline constexpr std::string_view FOUND_SEQUENCE = "sequence";
inline constexpr std::string_view FOUND_END = "`";
// How a found string is quoted: a control character without a short escape as \u{1f}, its
// number in lower-case hex digits without leading zeros between these two.
inline constexpr std::string_view CONTROL_ESCAPE = "\\u{";
inline constexpr std::string_view CONTROL_ESCAPE_END = "}";

// What a fault expected.
inline constexpr std::string_view EXPECTED_U32 = "u32";
inline constexpr std::string_view EXPECTED_U64 = "u64";
inline constexpr std::string_view EXPECTED_USIZE = "usize";
inline constexpr std::string_view EXPECTED_BOOLEAN = "a boolean";
inline constexpr std::string_view EXPECTED_STRING = "a string";
inline constexpr std::string_view EXPECTED_SEQUENCE = "a sequence";

// The key derivation's faults, after "ungültige KDF-Parameter: " or
// "Schlüsselableitung fehlgeschlagen: ".
inline constexpr std::string_view MEMORY_COST_TOO_SMALL = "memory cost is too small";
inline constexpr std::string_view TIME_COST_TOO_SMALL = "time cost is too small";
inline constexpr std::string_view NOT_ENOUGH_THREADS = "not enough threads";
inline constexpr std::string_view TOO_MANY_THREADS = "too many threads";
inline constexpr std::string_view WORK_TOO_LARGE = "memory and time cost together are too large";
inline constexpr std::string_view PASSWORD_TOO_LONG = "password is too long";
inline constexpr std::string_view SALT_TOO_SHORT = "salt is too short";
inline constexpr std::string_view SALT_TOO_LONG = "salt is too long";
inline constexpr std::string_view ALLOCATION_FAILED = "memory allocation failed";

// Reading and writing files and entries.
inline constexpr std::string_view NOT_UTF8_STREAM = "stream did not contain valid UTF-8";
inline constexpr std::string_view NOT_UTF8_STRING = "a string is not valid UTF-8";
inline constexpr std::string_view WRITE_INCOMPLETE = "failed to write whole buffer";

// An operating-system error: "No such file or directory (os error 2)".
inline constexpr std::string_view OS_ERROR_NUMBER = " (os error ";
inline constexpr std::string_view OS_ERROR_END = ")";

}  // namespace velkaron::wire

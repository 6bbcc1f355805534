#pragma once

// The one JSON reader of the program. Records describe their members once, as a table of
// `Field`s; `read` walks nlohmann's SAX events in stream order, fills the record and stops at
// the first fault, reported as "<description> at line <l> column <c>".

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/result.hpp"

namespace velkaron::json {

enum class Kind : std::uint8_t { U32, U64, Bool, String, Record, List };

struct Schema;

struct Field {
    std::string_view name;
    Kind kind;
    bool required;                // missing at the end of an object is a fault
    bool nullable;                // JSON null leaves the value absent
    std::string_view expected;    // for integers: the expectation named in faults ("u64", "usize")
    const Schema* nested;         // Record: its schema; List: the schema of its elements
    void* (*slot)(void* record);  // where the value goes; emplaces optionals, appends to lists

    // The member may be left out and then keeps its default; null stays a type fault.
    [[nodiscard]] constexpr Field optional() const {
        Field f = *this;
        f.required = false;
        return f;
    }
    [[nodiscard]] constexpr Field expecting(std::string_view text) const {
        Field f = *this;
        f.expected = text;
        return f;
    }
};

struct Schema {
    std::string_view expected;             // "struct Request"
    std::span<const Field> fields;         // in declared order
    std::size_t min_positional = 0;        // 0: object form only
    std::string_view positional_expected;  // "struct Request with 11 elements"
};

// Reads `text` as one record of `schema` into `target`, which must be the schema's type.
[[nodiscard]] Status read(std::string_view text, const Schema& schema, void* target);

// The record `schema` describes, read from `text`; nothing of a partly read record survives.
template <class Record>
[[nodiscard]] Result<Record> read_record(std::string_view text, const Schema& schema) {
    Record record;
    if (auto done = read(text, schema, &record); !done) return fail(std::move(done.error()));
    return record;
}

// --- building field tables --------------------------------------------------------------

namespace detail {

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};
template <class T>
struct is_vector : std::false_type {};
template <class T>
struct is_vector<std::vector<T>> : std::true_type {};

template <class T>
struct unwrap {
    using type = T;
};
template <class T>
struct unwrap<std::optional<T>> {
    using type = T;
};

template <class M>
struct member_traits;
template <class C, class T>
struct member_traits<T C::*> {
    using owner = C;
    using value = T;
};

template <auto First, auto... Rest>
auto& member_ref(typename member_traits<decltype(First)>::owner& record) {
    if constexpr (sizeof...(Rest) == 0) {
        return record.*First;
    } else {
        return member_ref<Rest...>(record.*First);
    }
}

template <auto First, auto... Rest>
void* slot(void* record) {
    using Owner = typename member_traits<decltype(First)>::owner;
    auto& value = member_ref<First, Rest...>(*static_cast<Owner*>(record));
    using V = std::remove_reference_t<decltype(value)>;
    if constexpr (is_optional<V>::value) {
        return &value.emplace();
    } else if constexpr (is_vector<V>::value) {
        return &value.emplace_back();
    } else {
        return &value;
    }
}

template <class V>
constexpr Kind kind_of() {
    using T = typename unwrap<V>::type;
    if constexpr (std::is_same_v<T, std::uint32_t>)
        return Kind::U32;
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        return Kind::U64;
    else if constexpr (std::is_same_v<T, bool>)
        return Kind::Bool;
    else if constexpr (std::is_same_v<T, std::string>)
        return Kind::String;
    else if constexpr (is_vector<T>::value)
        return Kind::List;
    else
        return Kind::Record;
}

template <auto... Members>
struct final_member;
template <auto Last>
struct final_member<Last> {
    using type = typename member_traits<decltype(Last)>::value;
};
template <auto First, auto Second, auto... Rest>
struct final_member<First, Second, Rest...> : final_member<Second, Rest...> {};

}  // namespace detail

// A member reached through one or more pointers to members (several for members that stand
// inline, such as an entry's `nonce`). Optionals are nullable and may be left out; everything
// else is required. Records and lists name the schema of what they hold.
template <auto... Members>
constexpr Field field(std::string_view name, const Schema* nested = nullptr) {
    using V = typename detail::final_member<Members...>::type;
    constexpr Kind kind = detail::kind_of<V>();
    constexpr bool nullable = detail::is_optional<V>::value;
    std::string_view expected = kind == Kind::U32 ? "u32" : kind == Kind::U64 ? "u64" : "";
    return Field{name, kind, !nullable, nullable, expected, nested, &detail::slot<Members...>};
}

}  // namespace velkaron::json

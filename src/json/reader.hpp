#pragma once

// The one JSON reader of the program. Records describe their members once, as a table of
// `Field`s; `read_record` walks nlohmann's SAX events in stream order, fills the record and stops
// at the first fault, reported as "<description> at line <l> column <c>".

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/result.hpp"
#include "base/secret_string.hpp"
#include "base/wire_texts.hpp"

namespace velkaron::json {

enum class Kind : std::uint8_t { U32, U64, Bool, String, Secret, Record, List };

namespace detail {

struct SchemaCore;

// One member as the reader walks it; made only by field<…>(), which knows the record's type.
struct FieldCore {
    std::string_view name;
    Kind kind;
    bool required;                // missing at the end of an object is a fault
    bool nullable;                // JSON null leaves the value absent
    std::string_view expected;    // for integers: the expectation named in faults ("u64", "usize")
    const SchemaCore* nested;     // Record: its schema; List: the schema of its elements, or
                                  // null for a list of strings
    void* (*slot)(void* record);  // where the value goes; emplaces optionals, appends to lists
};

struct SchemaCore {
    std::string_view expected;          // "struct Request"
    std::span<const FieldCore> fields;  // in declared order
    std::size_t min_positional = 0;     // 0: object form only
    std::size_t max_positional = 0;     // members the array form may give, the first ones
};

}  // namespace detail

// One member of `Owner`, as field<…>() declares it.
template <class Owner>
struct Field {
    detail::FieldCore core;

    // The member may be left out and then keeps its default; null stays a type fault.
    [[nodiscard]] constexpr Field optional() const {
        Field f = *this;
        f.core.required = false;
        return f;
    }
    [[nodiscard]] constexpr Field expecting(std::string_view text) const {
        Field f = *this;
        f.core.expected = text;
        return f;
    }
};

// The members of `Record` in declared order; a bitmask of 64 bits tracks which were seen.
template <class Record, std::size_t N>
struct FieldTable {
    static_assert(N > 0 && N <= 64, "the reader tracks at most 64 members per record");
    std::array<detail::FieldCore, N> cores;
};

template <class Record, class... More>
requires(std::same_as<More, Field<Record>>&&...) constexpr FieldTable<
    Record, 1 + sizeof...(More)> field_table(Field<Record> first, More... more) {
    return {{first.core, more.core...}};
}

// How many leading values the array form needs, ALL_MEMBERS: every one; and how many it may
// give, by default every member. Members beyond the maximum exist in the object form only,
// so that adding them leaves the array form and its faults as they were.
struct ArrayForm {
    std::size_t min_elements;
    std::size_t max_elements = std::numeric_limits<std::size_t>::max();
};
inline constexpr ArrayForm ALL_MEMBERS{std::numeric_limits<std::size_t>::max()};

// The schema of `Record`: its name in faults ("struct Request"), its members, and whether it
// may also be given as an array ("invalid length 1, expected struct Request with 11 elements").
template <class Record>
struct Schema : detail::SchemaCore {
    template <std::size_t N>
    constexpr Schema(std::string_view name, const FieldTable<Record, N>& table)
        : detail::SchemaCore{name, table.cores, 0, 0} {}
    template <std::size_t N>
    constexpr Schema(std::string_view name, const FieldTable<Record, N>& table, ArrayForm form)
        : detail::SchemaCore{name, table.cores, std::min(form.min_elements, N),
                             std::min(form.max_elements, N)} {}
};

class UntypedReader;

// The record `schema` describes, read from `text`; nothing of a partly read record survives.
template <class Record>
[[nodiscard]] Result<Record> read_record(std::string_view text, const Schema<Record>& schema);

// The reader's core works on untyped records; only read_record, whose schema is typed on the
// record it fills, can call it.
class UntypedReader {
    template <class Record>
    friend Result<Record> read_record(std::string_view text, const Schema<Record>& schema);
    // Reads `text` into `target` without tracking positions: true when it reads, exactly as
    // `read` would.
    [[nodiscard]] static bool reads(std::string_view text, const detail::SchemaCore& schema,
                                    void* target);
    // Reads `text` into `target`, counting every byte, so that a fault says where it is.
    [[nodiscard]] static Status read(std::string_view text, const detail::SchemaCore& schema,
                                     void* target);
};

template <class Record>
Result<Record> read_record(std::string_view text, const Schema<Record>& schema) {
    Record record;
    if (UntypedReader::reads(text, schema, &record)) {
#ifdef VELKARON_READER_AGREEMENT
        Record counted;
        if (!UntypedReader::read(text, schema, &counted) || !(counted == record)) std::abort();
#endif
        return record;
    }
    // Text that does not read is read again, counting, into a fresh record, and that read is
    // the judge: it names the fault and where it is.
    Record again;
    VELKARON_TRY(done, UntypedReader::read(text, schema, &again));
#ifdef VELKARON_READER_AGREEMENT
    std::abort();  // the counted read took what the untracked one refused
#endif
    return again;
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

// The value behind a member: the optional's, or the list's element.
template <class T>
struct value_of {
    using type = T;
};
template <class T>
struct value_of<std::optional<T>> {
    using type = T;
};
template <class T>
struct value_of<std::vector<T>> {
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
    using T = typename value_of<V>::type;
    if constexpr (is_vector<V>::value || is_vector<T>::value)
        return Kind::List;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return Kind::U32;
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        return Kind::U64;
    else if constexpr (std::is_same_v<T, bool>)
        return Kind::Bool;
    else if constexpr (std::is_same_v<T, std::string>)
        return Kind::String;
    else if constexpr (std::is_same_v<T, SecretString>)
        return Kind::Secret;
    else
        return Kind::Record;
}

template <auto First, auto... Rest>
constexpr auto first_of() {
    return First;
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
// inline, such as an entry's `nonce`), holding a scalar or a list of strings. Optionals are
// nullable and may be left out; everything else is required.
template <auto... Members>
constexpr Field<typename detail::member_traits<decltype(detail::first_of<Members...>())>::owner>
field(std::string_view name) {
    using V = typename detail::final_member<Members...>::type;
    constexpr Kind kind = detail::kind_of<V>();
    static_assert(kind != Kind::Record, "records name a schema");
    static_assert(kind != Kind::List || std::is_same_v<V, std::vector<std::string>>,
                  "lists of records name a schema; lists of strings may not be optional");
    constexpr bool nullable = detail::is_optional<V>::value;
    std::string_view expected = kind == Kind::U32   ? wire::EXPECTED_U32
                                : kind == Kind::U64 ? wire::EXPECTED_U64
                                                    : "";
    return {{name, kind, !nullable, nullable, expected, nullptr, &detail::slot<Members...>}};
}

// A member holding a record, an optional record or a list of records, read with `nested`,
// which must be the schema of that record.
template <auto... Members, class Nested>
constexpr Field<typename detail::member_traits<decltype(detail::first_of<Members...>())>::owner>
field(std::string_view name, const Schema<Nested>* nested) {
    using V = typename detail::final_member<Members...>::type;
    constexpr Kind kind = detail::kind_of<V>();
    static_assert(kind == Kind::Record || kind == Kind::List, "only records and lists nest");
    static_assert(std::is_same_v<typename detail::value_of<V>::type, Nested>,
                  "the nested schema must describe the member's record");
    constexpr bool nullable = detail::is_optional<V>::value;
    return {{name, kind, !nullable, nullable, "", nested, &detail::slot<Members...>}};
}

}  // namespace velkaron::json

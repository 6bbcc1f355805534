#include "json/reader.hpp"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <iterator>

#include "base/wire_texts.hpp"
#include "json/describe.hpp"
#include "json/json.hpp"

namespace velkaron::json {
namespace {

using detail::FieldCore;
using detail::SchemaCore;

// Every array or object opened takes one from this; the opening that reaches zero fails.
constexpr std::size_t DEPTH_ALLOWANCE = 128;

// Feeds the lexer byte by byte and publishes how far it has read, so that every event
// knows its position without nlohmann's own (inaccessible) counters.
struct CountingIterator {
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    const char* at = nullptr;
    const char** cursor = nullptr;

    reference operator*() const { return *at; }
    CountingIterator& operator++() {
        *cursor = ++at;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at == other.at; }
};

// The parts of a fault, one after another.
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) text += part;
    return text;
}

bool is_json_whitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_number_char(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

std::string_view expected_of(const FieldCore& field) {
    switch (field.kind) {
        case Kind::U32:
        case Kind::U64:
            return field.expected;
        case Kind::Bool:
            return wire::EXPECTED_BOOLEAN;
        case Kind::String:
        case Kind::Secret:
            return wire::EXPECTED_STRING;
        case Kind::Record:
            return field.nested->expected;
        case Kind::List:
            return wire::EXPECTED_SEQUENCE;
    }
    return {};
}

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

class Reader {
  public:
    // Counting, every event knows its position, at a cost of about a fifth of the parse; a
    // fault is then located, and reading stops where the value closes.
    enum class Positions : bool { Untracked, Counted };

    Reader(std::string_view text, const SchemaCore& schema, void* target, Positions positions)
        : text_(text),
          cursor_(text.data()),
          counted_(positions == Positions::Counted),
          stack_(reused_frames()) {
        stack_.clear();
        // The root is a record like any other member; its slot is the target itself.
        root_ = FieldCore{"", Kind::Record, true, false, {}, &schema, nullptr};
        root_target_ = target;
    }

    // Without positions: whether `text` reads, with nothing but whitespace after the value,
    // which the lexer's strict mode checks. That lexer takes a NUL byte for the end of input,
    // so text holding one is left to the counting read.
    bool run_untracked() {
        if (text_.starts_with(BYTE_ORDER_MARK) || text_.find('\0') != std::string_view::npos) {
            return false;
        }
        const char* begin = text_.data();
        const bool parsed = Json::sax_parse(begin, begin + text_.size(), this,
                                            Json::input_format_t::json, true, false);
        return parsed && done_ && !fault_;
    }

    Status run() {
        const char* begin = text_.data();
        const char* end = begin + text_.size();
        if (text_.starts_with(BYTE_ORDER_MARK)) {
            // nlohmann skips a byte-order mark silently; for us it is not whitespace.
            return fail(located(wire::INVALID_LITERAL, 1));
        }
        Json::sax_parse(CountingIterator{begin, &cursor_}, CountingIterator{end, &cursor_}, this,
                        Json::input_format_t::json, true, false);
        if (fault_) return fail(std::move(*fault_));
        if (!done_) return fail(located(wire::UNEXPECTED_END, text_.size()));
        // The value has closed: anything but whitespace after it is a fault.
        std::size_t at = consumed();
        while (at < text_.size() && is_json_whitespace(text_[at])) ++at;
        if (at < text_.size()) return fail(located(wire::TRAILING_CHARACTERS, at + 1));
        return {};
    }

    // --- nlohmann SAX interface ---------------------------------------------------------

    bool null() {
        auto dest = take_destination();
        if (!dest) return false;
        if (dest->skip || dest->field->nullable) return true;
        return type_fault(*dest->field, wire::FOUND_NULL, consumed());
    }

    bool boolean(bool value) {
        auto dest = take_destination();
        if (!dest) return false;
        if (dest->skip) return true;
        if (dest->field->kind != Kind::Bool) {
            return type_fault(*dest->field, value ? wire::FOUND_TRUE : wire::FOUND_FALSE,
                              consumed());
        }
        *static_cast<bool*>(dest->field->slot(dest->owner)) = value;
        return true;
    }

    bool number_unsigned(std::uint64_t value) { return unsigned_value(value, number_end()); }

    bool number_integer(std::int64_t value) {
        // nlohmann reports "-0" here; it is the integer 0.
        if (value >= 0) return unsigned_value(static_cast<std::uint64_t>(value), number_end());
        return negative_value(std::to_string(value), number_end());
    }

    // A template, since the library's binary formats (never used here) hand a std::string.
    template <class Token>
    bool number_float(double value, const Token& token) {
        // Classified by the token: without fraction or exponent it is an integer, and one
        // beyond the u64 range counts as floating point unless it is negative.
        const std::string_view text(token);
        const bool integral = text.find_first_of(".eE") == std::string_view::npos;
        if (integral && text.starts_with('-')) return negative_value(text, number_end());
        auto dest = take_destination();
        if (!dest) return false;
        if (dest->skip) return true;
        return type_fault(*dest->field,
                          joined({wire::FOUND_FLOAT, format_float(value), wire::FOUND_END}),
                          number_end());
    }

    // `value` is the lexer's token buffer, which wipes itself; the record gets a copy.
    bool string(Json::string_t& value) {
        auto dest = take_destination();
        if (!dest) return false;
        if (dest->skip) return true;
        const std::string_view text(value);
        switch (dest->field->kind) {
            case Kind::String:
                static_cast<std::string*>(dest->field->slot(dest->owner))->assign(text);
                return true;
            case Kind::Secret:
                *static_cast<SecretString*>(dest->field->slot(dest->owner)) = text;
                return true;
            default:
                return type_fault(*dest->field, joined({wire::FOUND_STRING, debug_quote(text)}),
                                  consumed());
        }
    }

    bool binary(Json::binary_t& /*unused*/) { return true; }

    bool start_object(std::size_t /*unused*/) {
        auto dest = take_destination();
        if (!dest) return false;
        Frame frame;
        if (dest->skip) {
            frame.type = Frame::Skip;
        } else if (dest->field->kind == Kind::Record) {
            frame.type = Frame::Object;
            frame.schema = dest->field->nested;
            frame.target = target_of(*dest);
        } else {
            return type_fault(*dest->field, wire::FOUND_MAP, consumed() - 1);
        }
        return open(frame);
    }

    bool start_array(std::size_t /*unused*/) {
        auto dest = take_destination();
        if (!dest) return false;
        Frame frame;
        if (dest->skip) {
            frame.type = Frame::Skip;
        } else if (dest->field->kind == Kind::Record && dest->field->nested->min_positional > 0) {
            frame.type = Frame::Positional;
            frame.schema = dest->field->nested;
            frame.target = target_of(*dest);
        } else if (dest->field->kind == Kind::List) {
            frame.type = Frame::List;
            frame.schema = dest->field->nested;
            frame.target = dest->owner;
            // Elements are records of the nested schema, or strings when there is none.
            const SchemaCore* nested = dest->field->nested;
            const Kind element = nested != nullptr ? Kind::Record : Kind::String;
            frame.element = FieldCore{"", element, true, false, {}, nested, dest->field->slot};
        } else {
            return type_fault(*dest->field, wire::FOUND_SEQUENCE, consumed() - 1);
        }
        return open(frame);
    }

    bool key(Json::string_t& name) {
        Frame& top = stack_.back();
        if (top.type != Frame::Object) return true;  // a key inside a skipped value
        const auto fields = top.schema->fields;
        const auto it = std::find_if(fields.begin(), fields.end(),
                                     [&](const FieldCore& f) { return f.name == name; });
        if (it == fields.end()) {
            top.pending = SKIP;
            return true;
        }
        const auto index = static_cast<std::size_t>(it - fields.begin());
        if (top.seen & (std::uint64_t{1} << index)) {
            return fault(joined({wire::DUPLICATE_FIELD, name, wire::FIELD_END}), consumed());
        }
        top.seen |= std::uint64_t{1} << index;
        top.pending = index;
        return true;
    }

    bool end_object() {
        Frame& top = stack_.back();
        if (top.type == Frame::Object) {
            const auto fields = top.schema->fields;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (fields[i].required && !(top.seen & (std::uint64_t{1} << i))) {
                    return fault(joined({wire::MISSING_FIELD, fields[i].name, wire::FIELD_END}),
                                 consumed());
                }
            }
        }
        return close();
    }

    bool end_array() {
        Frame& top = stack_.back();
        if (top.type == Frame::Positional && top.pending < top.schema->min_positional) {
            return fault(joined({wire::INVALID_LENGTH, std::to_string(top.pending), wire::EXPECTED,
                                 top.schema->expected, wire::WITH_ELEMENTS,
                                 std::to_string(top.schema->max_positional), wire::ELEMENTS}),
                         consumed());
        }
        return close();
    }

    bool parse_error(std::size_t /*unused*/, const std::string& last_token,
                     const nlohmann::detail::exception& error) {
        fault_ = located(library_message(error.what(), last_token), consumed());
        return false;
    }

  private:
    static constexpr std::size_t SKIP = static_cast<std::size_t>(-1);

    struct Frame {
        enum Type : std::uint8_t { Object, Positional, List, Skip } type = Skip;
        const SchemaCore* schema = nullptr;
        void* target = nullptr;   // Object, Positional: the record; List: the list's owner
        FieldCore element{};      // List: how to append one element
        std::uint64_t seen = 0;   // Object: members read so far, by index
        std::size_t pending = 0;  // Object: member awaiting its value; Positional: next index
        std::size_t skip_depth = 0;
    };

    // The frames of one read after another on this thread: requests come thousands a second,
    // and growing a fresh stack for each cost more than reading a short line. Frames hold no
    // text, only where values go.
    static std::vector<Frame>& reused_frames() {
        thread_local std::vector<Frame> frames;
        return frames;
    }

    struct Destination {
        const FieldCore* field = nullptr;
        void* owner = nullptr;
        bool skip = false;
    };

    // Where the value that starts now belongs; empty after a fault.
    std::optional<Destination> take_destination() {
        if (stack_.empty()) return Destination{&root_, nullptr, false};
        Frame& top = stack_.back();
        switch (top.type) {
            case Frame::Skip:
                return Destination{nullptr, nullptr, true};
            case Frame::Object: {
                const std::size_t index = top.pending;
                top.pending = SKIP;
                if (index == SKIP) return Destination{nullptr, nullptr, true};
                return Destination{&top.schema->fields[index], top.target, false};
            }
            case Frame::Positional: {
                if (top.pending >= top.schema->max_positional) {
                    fault(std::string(wire::TRAILING_CHARACTERS), consumed());
                    return std::nullopt;
                }
                return Destination{&top.schema->fields[top.pending++], top.target, false};
            }
            case Frame::List:
                return Destination{&top.element, top.target, false};
        }
        return std::nullopt;
    }

    void* target_of(const Destination& dest) const {
        return dest.field == &root_ ? root_target_ : dest.field->slot(dest.owner);
    }

    bool open(Frame frame) {
        if (!stack_.empty() && stack_.back().type == Frame::Skip) {
            ++stack_.back().skip_depth;
        } else {
            if (frame.type == Frame::Skip) frame.skip_depth = 1;
            stack_.push_back(frame);
        }
        if (++depth_ >= DEPTH_ALLOWANCE)
            return fault(std::string(wire::RECURSION_LIMIT_EXCEEDED), consumed() - 1);
        return true;
    }

    bool close() {
        --depth_;
        Frame& top = stack_.back();
        if (top.type == Frame::Skip && --top.skip_depth > 0) return true;
        stack_.pop_back();
        if (stack_.empty()) {
            done_ = true;
            // Counting, stop here: run() checks what follows and locates a fault there.
            return !counted_;
        }
        return true;
    }

    bool unsigned_value(std::uint64_t value, std::size_t position) {
        auto dest = take_destination();
        if (!dest) return false;
        if (dest->skip) return true;
        const FieldCore& f = *dest->field;
        if (f.kind == Kind::U64) {
            *static_cast<std::uint64_t*>(f.slot(dest->owner)) = value;
            return true;
        }
        // Every request has an integer id: the description is built only for a fault.
        const auto found = [value] {
            return joined({wire::FOUND_INTEGER, std::to_string(value), wire::FOUND_END});
        };
        if (f.kind == Kind::U32) {
            if (value > std::numeric_limits<std::uint32_t>::max()) {
                return value_fault(f, found(), position);
            }
            *static_cast<std::uint32_t*>(f.slot(dest->owner)) = static_cast<std::uint32_t>(value);
            return true;
        }
        return type_fault(f, found(), position);
    }

    bool negative_value(std::string_view text, std::size_t position) {
        auto dest = take_destination();
        if (!dest) return false;
        if (dest->skip) return true;
        const FieldCore& f = *dest->field;
        const std::string found = joined({wire::FOUND_INTEGER, text, wire::FOUND_END});
        if (f.kind == Kind::U32 || f.kind == Kind::U64) return value_fault(f, found, position);
        return type_fault(f, found, position);
    }

    bool type_fault(const FieldCore& f, std::string_view found, std::size_t position) {
        return fault(joined({wire::INVALID_TYPE, found, wire::EXPECTED, expected_of(f)}), position);
    }

    bool value_fault(const FieldCore& f, std::string_view found, std::size_t position) {
        return fault(joined({wire::INVALID_VALUE, found, wire::EXPECTED, expected_of(f)}),
                     position);
    }

    bool fault(std::string description, std::size_t position) {
        if (!fault_) fault_ = located(description, position);
        return false;
    }

    // `position` counts the bytes up to and including the one where the fault was found.
    std::string located(std::string_view description, std::size_t position) const {
        position = std::min(position, text_.size());
        const std::string_view before = text_.substr(0, position);
        const std::size_t line =
            1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
        const std::size_t last_newline = before.rfind('\n');
        const std::size_t column =
            last_newline == std::string_view::npos ? position : position - last_newline - 1;
        return joined({description, wire::AT_LINE, std::to_string(line), wire::AT_COLUMN,
                       std::to_string(column)});
    }

    std::size_t consumed() const { return static_cast<std::size_t>(cursor_ - text_.data()); }

    // The lexer reads one byte past a number to see where it ends, unless input ended.
    std::size_t number_end() const {
        const std::size_t n = consumed();
        return n > 0 && !is_number_char(text_[n - 1]) ? n - 1 : n;
    }

    std::string_view text_;
    const char* cursor_;
    bool counted_;
    FieldCore root_{};
    void* root_target_ = nullptr;
    std::vector<Frame>& stack_;
    std::size_t depth_ = 0;
    bool done_ = false;
    std::optional<std::string> fault_;
};

}  // namespace

bool UntypedReader::reads(std::string_view text, const SchemaCore& schema, void* target) {
    Reader reader(text, schema, target, Reader::Positions::Untracked);
    return reader.run_untracked();
}

Status UntypedReader::read(std::string_view text, const SchemaCore& schema, void* target) {
    Reader reader(text, schema, target, Reader::Positions::Counted);
    return reader.run();
}

}  // namespace velkaron::json

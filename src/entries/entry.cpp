#include "entries/entry.hpp"

#include <sodium.h>

#include <array>
#include <memory>

#include <nlohmann/json.hpp>

#include "json/describe.hpp"
#include "json/reader.hpp"

namespace velkaron {
namespace {

// Every buffer the writer's document and output pass through is wiped when released, so
// growing the output leaves no stale copies of the password behind.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    explicit WipingAllocator(const WipingAllocator<U>& /*unused*/) noexcept {}

    T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        sodium_memzero(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }
    template <class U>
    bool operator==(const WipingAllocator<U>& /*unused*/) const noexcept {
        return true;
    }
};

using WipedString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
using WipedOrderedJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, WipedString, bool,
                                              std::int64_t, std::uint64_t, double, WipingAllocator>;

using json::field;

constexpr std::array ENTRY_FIELDS{
    field<&Entry::host>("host"),
    field<&Entry::username>("username"),
    field<&Entry::password>("password"),
    field<&Entry::title>("title").optional(),
    field<&Entry::created_at>("created_at"),
    field<&Entry::updated_at>("updated_at"),
};

// Object form only: a plaintext is never written as an array.
constexpr json::Schema ENTRY_SCHEMA{"struct Entry", ENTRY_FIELDS, 0, ""};

void wipe(std::string& text) noexcept {
    sodium_memzero(text.data(), text.capacity());
}

}  // namespace

Entry::~Entry() {
    wipe(host);
    wipe(username);
    wipe(password);
    wipe(title);
}

Result<SecretBytes> write_entry(const Entry& entry) {
    try {
        WipedOrderedJson document = WipedOrderedJson::object();
        document["host"] = std::string_view(entry.host);
        document["username"] = std::string_view(entry.username);
        document["password"] = std::string_view(entry.password);
        document["title"] = std::string_view(entry.title);
        document["created_at"] = entry.created_at;
        document["updated_at"] = entry.updated_at;
        const WipedString text =
            document.dump(-1, ' ', false, WipedOrderedJson::error_handler_t::strict);
        return SecretBytes(text.data(), text.size());
    } catch (const nlohmann::json::exception& e) {
        return fail(json::library_message(e.what(), ""));
    }
}

Result<Entry> read_entry(std::string_view plaintext) {
    return json::read_record<Entry>(plaintext, ENTRY_SCHEMA);
}

}  // namespace velkaron

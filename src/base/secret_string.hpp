#pragma once

// Text that may hold a secret: request lines, passwords, recovery codes, response lines.
// Wiping is a property of the type, so that growing, shrinking, moving and dying leave no copy.

#include <sodium.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace velkaron {

// Zeroes every block before it goes back to the system. It takes its blocks from malloc
// directly, so it does not depend on how the program's operator new treats freed blocks.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>& /*unused*/) noexcept {}

    [[nodiscard]] T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        void* p = std::malloc(n * sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        sodium_memzero(p, n * sizeof(T));
        std::free(p);
    }

    template <class U>
    friend bool operator==(const WipingAllocator&, const WipingAllocator<U>&) noexcept {
        return true;
    }
};

using WipingString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// A string whose heap blocks are zeroed before they are freed, and whose own inline buffer
// (libstdc++ keeps up to 15 characters inside the object, where no allocator sees them) is
// zeroed when it dies and when its text is moved out. clear() and truncate() zero the text they
// drop, so a buffer that is reused from request to request keeps nothing of the last one.
class SecretString : public WipingString {
  public:
    using WipingString::WipingString;
    SecretString() noexcept = default;
    explicit SecretString(std::string_view text) : WipingString(text) {}
    SecretString(const SecretString&) = default;
    SecretString& operator=(const SecretString&) = default;
    SecretString(SecretString&& other) noexcept : WipingString(std::move(other)) {
        other.wipe_storage();
    }
    SecretString& operator=(SecretString&& other) noexcept {
        if (this != &other) {
            wipe_storage();
            WipingString::operator=(std::move(other));
            other.wipe_storage();
        }
        return *this;
    }
    // Any text; the old one is wiped first, also where the new one is shorter.
    template <class Text>
    requires(std::is_convertible_v<const Text&, std::string_view> &&
             !std::is_same_v<Text, SecretString>) SecretString&
    operator=(const Text& text) {
        const std::string_view view = text;
        clear();
        append(view);
        return *this;
    }
    ~SecretString() { wipe_storage(); }

    void clear() noexcept { truncate(0); }

    // Drops the text from `new_size` on.
    void truncate(std::size_t new_size) noexcept {
        if (new_size >= size()) return;
        sodium_memzero(data() + new_size, size() - new_size);
        WipingString::resize(new_size);
    }

    [[nodiscard]] std::string_view view() const noexcept { return {data(), size()}; }

  private:
    // The whole buffer, inline or on the heap, used or not.
    void wipe_storage() noexcept { sodium_memzero(data(), capacity()); }
};

}  // namespace velkaron

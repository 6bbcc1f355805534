#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

namespace velkaron {

inline constexpr std::size_t KEY_LEN = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;

// Heap bytes whose size is fixed at construction, wiped over the whole allocation when
// destroyed. A buffer that never grows leaves no stale copies behind.
class SecretBytes {
  public:
    SecretBytes() noexcept = default;
    explicit SecretBytes(std::size_t size);  // zero-filled
    SecretBytes(const void* data, std::size_t size);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    [[nodiscard]] unsigned char* data() noexcept { return bytes_.get(); }
    [[nodiscard]] const unsigned char* data() const noexcept { return bytes_.get(); }
    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
    [[nodiscard]] std::span<const unsigned char> span() const noexcept { return {data(), size_}; }
    [[nodiscard]] std::string_view view() const noexcept {
        return {reinterpret_cast<const char*>(bytes_.get()), size_};
    }

  private:
    void wipe() noexcept;

    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_ = 0;
};

// A 32-byte key on the stack or inside another object; wiped on destruction and on move.
class Key32 {
  public:
    Key32() noexcept { bytes_.fill(0); }
    ~Key32() { sodium_memzero(bytes_.data(), bytes_.size()); }
    Key32(Key32&& other) noexcept;
    Key32& operator=(Key32&& other) noexcept;
    Key32(const Key32&) = delete;
    Key32& operator=(const Key32&) = delete;

    [[nodiscard]] Key32 clone() const noexcept;
    [[nodiscard]] unsigned char* data() noexcept { return bytes_.data(); }
    [[nodiscard]] const unsigned char* data() const noexcept { return bytes_.data(); }
    [[nodiscard]] static constexpr std::size_t size() noexcept { return KEY_LEN; }

  private:
    std::array<unsigned char, KEY_LEN> bytes_;
};

// The vault key. It lives in libsodium's guarded allocation: locked against swapping where
// the system allows it, fenced by guard pages, and wiped when freed. Every live key's page is
// known to release_vault_keys, so that a dying process can wipe it from a signal handler.
class VaultKey {
  public:
    VaultKey();  // zero-filled
    explicit VaultKey(std::span<const unsigned char, KEY_LEN> bytes);
    VaultKey(VaultKey&&) noexcept = default;
    VaultKey& operator=(VaultKey&&) noexcept = default;

    [[nodiscard]] Key32 copy() const noexcept;  // a working copy that wipes itself
    [[nodiscard]] const unsigned char* data() const noexcept { return bytes_.get(); }
    [[nodiscard]] unsigned char* data() noexcept { return bytes_.get(); }
    [[nodiscard]] static constexpr std::size_t size() noexcept { return KEY_LEN; }

  private:
    struct Free {
        void operator()(unsigned char* p) const noexcept;
    };
    std::unique_ptr<unsigned char, Free> bytes_;
};

// Wipes and frees the page of every live VaultKey. Safe in a signal handler, which may have
// interrupted anything, a key's own allocation or release included; the keys are unusable
// afterwards, so only a process about to die calls it.
void release_vault_keys() noexcept;

}  // namespace velkaron

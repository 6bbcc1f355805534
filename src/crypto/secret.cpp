#include "crypto/secret.hpp"

#include <array>
#include <atomic>
#include <cstring>
#include <new>

#include "crypto/sodium.hpp"

namespace velkaron {
namespace {

// The pages of the live keys. A process holds one key, two while a password change or an
// unlock replaces it; a key beyond the slots is simply not reachable from a signal handler.
// A slot is emptied by exchange, so a handler that interrupts a key's release frees the page
// only if the owner has not taken it out yet; the process dies in that handler, so the owner
// never goes on.
constexpr std::size_t KEY_SLOTS = 8;
std::array<std::atomic<unsigned char*>, KEY_SLOTS> g_key_pages{};
static_assert(std::atomic<unsigned char*>::is_always_lock_free);

void remember_key_page(unsigned char* page) noexcept {
    for (auto& slot : g_key_pages) {
        unsigned char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, page)) return;
    }
}

void forget_key_page(unsigned char* page) noexcept {
    for (auto& slot : g_key_pages) {
        unsigned char* expected = page;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

}  // namespace

SecretBytes::SecretBytes(std::size_t size) : bytes_(new unsigned char[size]()), size_(size) {}

SecretBytes::SecretBytes(const void* data, std::size_t size) : SecretBytes(size) {
    if (size != 0) std::memcpy(bytes_.get(), data, size);
}

SecretBytes::~SecretBytes() {
    wipe();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(other.size_) {
    other.size_ = 0;
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        wipe();
        bytes_ = std::move(other.bytes_);
        size_ = other.size_;
        other.size_ = 0;
    }
    return *this;
}

void SecretBytes::wipe() noexcept {
    if (bytes_) sodium_memzero(bytes_.get(), size_);
}

Key32::Key32(Key32&& other) noexcept : bytes_(other.bytes_) {
    sodium_memzero(other.bytes_.data(), other.bytes_.size());
}

Key32& Key32::operator=(Key32&& other) noexcept {
    if (this != &other) {
        bytes_ = other.bytes_;
        sodium_memzero(other.bytes_.data(), other.bytes_.size());
    }
    return *this;
}

Key32 Key32::clone() const noexcept {
    Key32 copy;
    copy.bytes_ = bytes_;
    return copy;
}

VaultKey::VaultKey() {
    init_sodium();
    auto* p = static_cast<unsigned char*>(sodium_malloc(KEY_LEN));
    if (p == nullptr) throw std::bad_alloc();
    std::memset(p, 0, KEY_LEN);
    remember_key_page(p);
    bytes_.reset(p);
}

// Wiped before it leaves the table, so that no moment of the release leaves the key both
// unwiped and out of a handler's reach.
void VaultKey::Free::operator()(unsigned char* p) const noexcept {
    sodium_memzero(p, KEY_LEN);
    forget_key_page(p);
    sodium_free(p);
}

void release_vault_keys() noexcept {
    for (auto& slot : g_key_pages) {
        if (unsigned char* page = slot.exchange(nullptr)) sodium_free(page);
    }
}

VaultKey::VaultKey(std::span<const unsigned char, KEY_LEN> bytes) : VaultKey() {
    std::memcpy(bytes_.get(), bytes.data(), KEY_LEN);
}

Key32 VaultKey::copy() const noexcept {
    Key32 key;
    std::memcpy(key.data(), bytes_.get(), KEY_LEN);
    return key;
}

}  // namespace velkaron

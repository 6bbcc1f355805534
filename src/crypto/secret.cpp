#include "crypto/secret.hpp"

#include <cstring>
#include <new>

#include "crypto/sodium.hpp"

namespace velkaron {

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
    bytes_.reset(p);
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

#include "crypto/digest.hpp"

#include "crypto/bytes.hpp"

namespace velkaron {

Digest digest_of(std::string_view bytes) noexcept {
    Digest digest{};
    // Fails only for output or key sizes outside libsodium's bounds; these are its defaults.
    static_cast<void>(crypto_generichash(digest.data(), digest.size(), bytes_of(bytes).data(),
                                         bytes.size(), nullptr, 0));
    return digest;
}

}  // namespace velkaron

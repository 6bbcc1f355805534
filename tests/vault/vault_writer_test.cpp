// The streaming writer against the JSON library's own compact output on random records.

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using Ordered = nlohmann::ordered_json;

Ordered kdf_tree(const KdfRecord& kdf) {
    return Ordered{{"algorithm", kdf.algorithm},
                   {"memory_kib", kdf.memory_kib},
                   {"iterations", kdf.iterations},
                   {"parallelism", kdf.parallelism},
                   {"salt", kdf.salt}};
}

// The layout built as a document tree in declared member order, written by the library.
std::string library_dump(const VaultFile& vault) {
    Ordered entries = Ordered::array();
    for (const SealedEntry& entry : vault.entries) {
        entries.push_back(
            Ordered{{"id", entry.id}, {"nonce", entry.sealed.nonce}, {"ct", entry.sealed.ct}});
    }
    Ordered recovery = nullptr;
    if (vault.recovery) {
        recovery = Ordered{{"kdf", kdf_tree(vault.recovery->kdf)},
                           {"nonce", vault.recovery->sealed.nonce},
                           {"ct", vault.recovery->sealed.ct}};
    }
    const Ordered document{
        {"version", vault.version},
        {"kdf", kdf_tree(vault.kdf)},
        {"wrapped_key", Ordered{{"nonce", vault.wrapped_key.nonce}, {"ct", vault.wrapped_key.ct}}},
        {"recovery", std::move(recovery)},
        {"entries", std::move(entries)}};
    return document.dump(-1, ' ', false);
}

class RandomRecords {
  public:
    explicit RandomRecords(unsigned seed) : engine_(seed) {}

    VaultFile vault() {
        VaultFile v;
        v.version = number();
        v.kdf = kdf();
        v.wrapped_key = sealed();
        if (pick(2) == 0) v.recovery = Recovery{kdf(), sealed()};
        for (std::size_t n = pick(6); n > 0; --n)
            v.entries.push_back(SealedEntry{text(), sealed()});
        return v;
    }

  private:
    std::size_t pick(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(engine_);
    }

    std::uint32_t number() {
        constexpr std::uint32_t EDGES[] = {0, 1, 9, 10, std::numeric_limits<std::uint32_t>::max()};
        if (pick(3) == 0) return EDGES[pick(std::size(EDGES))];
        return std::uniform_int_distribution<std::uint32_t>()(engine_);
    }

    // Valid UTF-8 mixing every control character, the characters escaped by name, DEL, the
    // solidus and characters of two, three and four bytes.
    std::string text() {
        static const char* const PIECES[] = {"\"", "\\", "/", "\x7f",         "a", "Z", "0", " ",
                                             "é",  "€",  "😀", "\xEF\xBF\xBF", "+", "="};
        std::string out;
        for (std::size_t n = pick(12); n > 0; --n) {
            if (pick(3) == 0) {
                out += static_cast<char>(pick(0x20));
            } else {
                out += PIECES[pick(std::size(PIECES))];
            }
        }
        return out;
    }

    KdfRecord kdf() { return KdfRecord{text(), number(), number(), number(), text()}; }
    Sealed sealed() { return Sealed{text(), text()}; }

    std::mt19937 engine_;
};

TEST(VaultWriter, WritesWhatTheLibraryWritesAndReadsBackTheSameRecords) {
    RandomRecords random(20240611);
    for (int i = 0; i < 2000; ++i) {
        const VaultFile vault = random.vault();
        const std::string written = serialize_vault(vault);
        ASSERT_EQ(written, library_dump(vault)) << "record " << i;
        const auto read = parse_vault(written);
        ASSERT_TRUE(read.has_value()) << read.error();
        ASSERT_EQ(*read, vault) << "record " << i;
    }
}

}  // namespace
}  // namespace velkaron

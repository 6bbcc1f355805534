#include "support/vault_load_cases.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/sample_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron::testing_support {
namespace {

std::string document_with_version(const std::string& version) {
    std::string text = serialize_vault(sample_vault());
    const std::string one = "\"version\":1,";
    return text.replace(text.find(one), one.size(), "\"version\":" + version + ",");
}

}  // namespace

std::vector<LoadCase> vault_load_faults() {
    return {
        LoadCase{"Missing", [](const std::string&) {},
                 "Tresor nicht lesbar: No such file or directory (os error 2)"},
        LoadCase{"Directory", [](const std::string& p) { std::filesystem::create_directory(p); },
                 "Tresor nicht lesbar: Is a directory (os error 21)"},
        LoadCase{"NotUtf8",
                 [](const std::string& p) {
                     std::string text = serialize_vault(sample_vault());
                     text.insert(text.find("argon2id"), "\xC0\xAF");  // overlong solidus
                     write_file(p, text);
                 },
                 "Tresor nicht lesbar: stream did not contain valid UTF-8"},
        LoadCase{"TruncatedUtf8",
                 [](const std::string& p) { write_file(p, "{\"version\":1}\xE2\x82"); },
                 "Tresor nicht lesbar: stream did not contain valid UTF-8"},
        LoadCase{"Empty", [](const std::string& p) { write_file(p, ""); },
                 "Tresor beschädigt: syntax error while parsing value - unexpected end of input; "
                 "expected '[', '{', or a literal at line 1 column 0"},
        // With no writer, a FIFO must read as empty instead of hanging the host.
        LoadCase{"FifoWithoutWriter",
                 [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
                 "Tresor beschädigt: syntax error while parsing value - unexpected end of input; "
                 "expected '[', '{', or a literal at line 1 column 0"},
        LoadCase{"VersionTwo",
                 [](const std::string& p) { write_file(p, document_with_version("2")); },
                 "unbekannte Tresorversion 2"},
        LoadCase{"VersionZero",
                 [](const std::string& p) { write_file(p, document_with_version("0")); },
                 "unbekannte Tresorversion 0"},
        // Damage is reported before the version is looked at.
        LoadCase{"VersionTwoAndDamaged",
                 [](const std::string& p) { write_file(p, R"({"version":2})"); },
                 "Tresor beschädigt: missing field `kdf` at line 1 column 13"},
    };
}

}  // namespace velkaron::testing_support

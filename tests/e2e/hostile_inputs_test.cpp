// What a careless or hostile client, or a damaged vault file, can bring: each input is
// answered by exactly one line with its message, and the host goes on serving and ends
// in order.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "protocol/line_reader.hpp"
#include "support/case_name.hpp"
#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

using testing_support::lines_of;
using testing_support::read_file;
using testing_support::run_host;
using testing_support::TempDir;
using testing_support::write_file;

constexpr const char* LOCK = R"({"id":99,"op":"lock"})";
constexpr const char* LOCKED = R"({"id":99,"ok":true,"data":{"unlocked":false}})";

struct HostileCase {
    const char* name;
    // Prepares the folder; gives the vault path the host is started with.
    std::function<std::string(const TempDir&)> vault;
    // The request line, without its line feed; made only when the case runs, since some
    // lines are large.
    std::function<std::string()> request;
    std::string response;
};

class Hostile : public testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, IsAnsweredByOneLineAndTheHostGoesOn) {
    TempDir dir;
    const std::string path = GetParam().vault(dir);
    const auto result = run_host({path}, GetParam().request() + "\n" + LOCK + "\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(lines_of(result.out), (std::vector<std::string>{GetParam().response, LOCKED}));
}

// --- vault paths and files --------------------------------------------------------------

std::string nothing_there(const TempDir& dir) {
    return dir.file("tresor.json");
}

// A vault the binary opens at once, changed by `damage` before it is written.
std::function<std::string(const TempDir&)> small_vault_with(void (*damage)(VaultFile&)) {
    return [damage](const TempDir& dir) {
        const std::string path = dir.file("tresor.json");
        testing_support::create_small_vault(path);
        auto vault = parse_vault(read_file(path));
        EXPECT_TRUE(vault.has_value());
        damage(*vault);
        write_file(path, serialize_vault(*vault));
        return path;
    };
}

// A vault file holding exactly `content`.
std::function<std::string(const TempDir&)> file_holding(std::function<std::string()> content) {
    return [content](const TempDir& dir) {
        const std::string path = dir.file("tresor.json");
        write_file(path, content());
        return path;
    };
}

std::string first_half_of_a_vault() {
    TempDir scratch;
    const std::string path = scratch.file("tresor.json");
    testing_support::create_small_vault(path);
    const std::string whole = read_file(path);
    return whole.substr(0, whole.size() / 2);
}

std::string random_bytes_of_length(std::size_t length) {
    std::mt19937 random(20240601);
    std::string bytes(length, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

std::string unlock() {
    return R"({"id":1,"op":"unlock","password":")" + std::string(testing_support::PASSWORD) +
           R"("})";
}

std::string unlock_fails(const std::string& message) {
    return R"({"id":1,"ok":false,"error":")" + message + R"("})";
}

constexpr const char* ALLOCATION_FAILED =
    "Schlüsselableitung fehlgeschlagen: memory allocation failed";

INSTANTIATE_TEST_SUITE_P(
    DamagedVault, Hostile,
    testing::Values(
        // 4 TiB of Argon2 memory: refused with a message, never an out-of-memory kill.
        HostileCase{"FourTebibytesOfMemory",
                    small_vault_with([](VaultFile& v) { v.kdf.memory_kib = 0xFFFFFFFF; }), unlock,
                    unlock_fails(ALLOCATION_FAILED)},
        HostileCase{"FourTebibytesOverTheMostLanes", small_vault_with([](VaultFile& v) {
                        v.kdf.memory_kib = 0xFFFFFFFF;
                        v.kdf.parallelism = 0xFFFFFF;
                    }),
                    unlock, unlock_fails(ALLOCATION_FAILED)},
        HostileCase{
            "Truncated", file_holding(first_half_of_a_vault), unlock,
            unlock_fails("Tresor beschädigt: syntax error while parsing object - unexpected "
                         "end of input; expected '}' at line 1 column 253")},
        HostileCase{"BinaryGarbage", file_holding([] { return random_bytes_of_length(4096); }),
                    unlock,
                    unlock_fails("Tresor nicht lesbar: stream did not contain valid UTF-8")},
        HostileCase{"ControlCharacters",
                    file_holding([] { return std::string("\x01\x02\x7F\x00\x1B[2J", 7); }), unlock,
                    unlock_fails("Tresor beschädigt: syntax error while parsing value - invalid "
                                 "literal at line 1 column 1")},
        HostileCase{
            "DeepNesting", file_holding([] { return "{\"x\":" + std::string(1'000'000, '['); }),
            unlock,
            unlock_fails("Tresor beschädigt: recursion limit exceeded at line 1 column 131")},
        // Root reads any file; a path through a regular file cannot be read by anyone.
        HostileCase{"PathThroughARegularFile",
                    [](const TempDir& dir) {
                        write_file(dir.file("plain"), "");
                        return dir.file("plain/tresor.json");
                    },
                    unlock, unlock_fails("Tresor nicht lesbar: Not a directory (os error 20)")},
        HostileCase{"CreateThroughARegularFile",
                    [](const TempDir& dir) {
                        write_file(dir.file("plain"), "");
                        return dir.file("plain/tresor.json");
                    },
                    [] { return std::string(R"({"id":1,"op":"create","password":"12345678"})"); },
                    unlock_fails("Schreiben fehlgeschlagen: Not a directory (os error 20)")},
        HostileCase{
            "SymbolicLinkLoop",
            [](const TempDir& dir) {
                std::filesystem::create_symlink("tresor.json", dir.file("tresor.json"));
                return dir.file("tresor.json");
            },
            unlock,
            unlock_fails("Tresor nicht lesbar: Too many levels of symbolic links (os error 40)")}),
    testing_support::CaseName{});

// --- request lines ----------------------------------------------------------------------

std::function<std::string()> line(std::string text) {
    return [text] { return text; };
}

// A lock request padded with blanks inside the object to exactly `length` bytes.
std::function<std::string()> lock_of_length(std::size_t length) {
    return [length] {
        const std::string head = R"({"id":7,"op":"lock")";
        return head + std::string(length - head.size() - 1, ' ') + "}";
    };
}

std::string unreadable(const std::string& fault) {
    return R"({"id":0,"ok":false,"error":"Anfrage unlesbar: )" + fault + R"("})";
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Hostile,
    testing::Values(
        HostileCase{"DeepNestingInAnIgnoredMember", nothing_there,
                    [] {
                        return R"({"id":1,"op":"lock","x":)" + std::string(100'000, '[') +
                               std::string(100'000, ']') + "}";
                    },
                    unreadable("recursion limit exceeded at line 1 column 150")},
        HostileCase{"DeepNestingNeverClosed", nothing_there,
                    [] { return R"({"id":1,"op":"lock","x":)" + std::string(1'000'000, '['); },
                    unreadable("recursion limit exceeded at line 1 column 150")},
        HostileCase{"LineOfExactlyTheLimit", nothing_there, lock_of_length(MAX_LINE),
                    R"({"id":7,"ok":true,"data":{"unlocked":false}})"},
        HostileCase{"LineOneByteOverTheLimit", nothing_there, lock_of_length(MAX_LINE + 1),
                    unreadable("line too long at line 1 column 67108865")},
        HostileCase{"PasswordOverTheLimit", nothing_there,
                    [] {
                        return R"({"id":8,"op":"create","password":")" +
                               std::string(MAX_LINE, 'p') + R"("})";
                    },
                    unreadable("line too long at line 1 column 67108865")},
        HostileCase{"EscapedNulInTheOperation", nothing_there,
                    line(R"({"id":2,"op":"lo\u0000ck"})"),
                    R"({"id":2,"ok":false,"error":"unbekannte Operation: lo\u0000ck"})"},
        HostileCase{"RawNulInAString", nothing_there,
                    line(std::string(R"({"id":2,"op":"lo)") + '\0' + R"(ck"})"),
                    unreadable(R"(syntax error while parsing value - invalid string: control )"
                               R"(character U+0000 (NUL) must be escaped to \\u0000 at line 1 )"
                               R"(column 17)")},
        HostileCase{"LoneLowSurrogate", nothing_there, line(R"({"id":2,"op":"\udc00"})"),
                    unreadable("syntax error while parsing value - invalid string: surrogate "
                               "U+DC00..U+DFFF must follow U+D800..U+DBFF at line 1 column 20")},
        HostileCase{"HighSurrogateBeforeALetter", nothing_there,
                    line(R"({"id":2,"op":"\ud800\u0041"})"),
                    unreadable("syntax error while parsing value - invalid string: surrogate "
                               "U+D800..U+DBFF must be followed by U+DC00..U+DFFF at line 1 "
                               "column 26")},
        HostileCase{"EscapedSurrogatePairComesBackRaw", nothing_there,
                    line(R"({"id":2,"op":"\ud83d\ude00"})"),
                    "{\"id\":2,\"ok\":false,\"error\":\"unbekannte Operation: \xF0\x9F\x98\x80\"}"},
        HostileCase{"IdOfTwoToThe64", nothing_there,
                    line(R"({"id":18446744073709551616,"op":"lock"})"),
                    unreadable("invalid type: floating point `1.8446744073709552e19`, expected "
                               "u64 at line 1 column 26")},
        HostileCase{"IdFarPastTwoToThe64", nothing_there,
                    line(R"({"id":1000000000000000000000000000000,"op":"lock"})"),
                    unreadable("invalid type: floating point `1e30`, expected u64 at line 1 "
                               "column 37")},
        HostileCase{"IdBeyondTheDoubleRange", nothing_there, line(R"({"id":1e400,"op":"lock"})"),
                    unreadable("number overflow parsing '1e400' at line 1 column 12")}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron

// Runs the example clients in examples/ (Python and Node.js) against the real binary, so that
// what a client author copies from them keeps working.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/child_process.hpp"
#include "support/temp_dir.hpp"

extern char** environ;

namespace velkaron {
namespace {

using testing_support::Environment;
using testing_support::Finished;
using testing_support::lines_of;
using testing_support::read_file;
using testing_support::run_to_end;
using testing_support::TempDir;

constexpr const char* MASTER_PASSWORD = "korrekt-pferd-batterie";

struct Client {
    std::string name;
    std::string interpreter;
    std::string script;
};

void PrintTo(const Client& client, std::ostream* out) {
    *out << client.name;
}

std::filesystem::path examples_folder() {
    return std::filesystem::path(VELKARON_TEST_DATA).parent_path() / "examples";
}

// Runs the client with only the VELKARON_ variables the test sets; the interpreter is found
// on the PATH.
Finished run_client(const Client& client, const std::string& vault, const std::string& password,
                    const std::string& binary = VELKARON_BINARY) {
    Environment environment{"VELKARON_PASSWORD=" + password};
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string_view(*e).starts_with("VELKARON_")) environment.emplace_back(*e);
    }
    return run_to_end(
        client.interpreter,
        {(examples_folder() / client.script).string(), "--host-binary", binary, vault}, "",
        environment);
}

const std::string UUID = "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}";

// Matches the output line by line against regular expressions; gives the first capture of
// every line that has one.
std::vector<std::string> expect_lines(const std::string& output,
                                      const std::vector<std::string>& patterns) {
    const auto lines = lines_of(output);
    std::vector<std::string> captured;
    EXPECT_EQ(lines.size(), patterns.size()) << output;
    for (std::size_t i = 0; i < std::min(lines.size(), patterns.size()); ++i) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(lines[i], match, std::regex(patterns[i])))
            << "line " << i + 1 << ": " << lines[i] << "\n  expected: " << patterns[i];
        if (match.size() > 1) captured.push_back(match[1]);
    }
    return captured;
}

class ExampleClient : public testing::TestWithParam<Client> {};

TEST_P(ExampleClient, CreatesThenReopensTheVault) {
    TempDir dir;
    const std::string vault = dir.file("tresor.json");

    const Finished first = run_client(GetParam(), vault, MASTER_PASSWORD);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err, "");
    const auto ids = expect_lines(
        first.out, {"created vault; recovery code \\(write it down\\): "
                    "[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-"
                    "NP-Z2-9]{4}",
                    "stored login (" + UUID + ") with a generated password of 24 characters",
                    "for-host www.example.org: 1 login\\(s\\): erika@example.org",
                    "list: 1 login\\(s\\)", "  example.org  erika  Beispiel  id (" + UUID + ")",
                    "locked", "host exited with status 0"});
    ASSERT_EQ(ids.size(), 2U);
    EXPECT_EQ(ids[0], ids[1]);

    struct stat info {};
    ASSERT_EQ(::stat(vault.c_str(), &info), 0) << "the client left no vault file";
    EXPECT_EQ(info.st_mode & 0777, 0600U);

    // The second run finds the vault, unlocks it and updates the same login in place.
    const Finished second = run_client(GetParam(), vault, MASTER_PASSWORD);
    EXPECT_EQ(second.status, 0) << second.err;
    const auto again = expect_lines(
        second.out, {"unlocked vault with 1 entries",
                     "stored login (" + UUID + ") with a generated password of 24 characters",
                     "for-host www.example.org: 1 login\\(s\\): erika@example.org",
                     "list: 1 login\\(s\\)", "  example.org  erika  Beispiel  id (" + UUID + ")",
                     "locked", "host exited with status 0"});
    ASSERT_EQ(again.size(), 2U);
    EXPECT_EQ(again[0], ids[0]);
    EXPECT_EQ(again[1], ids[0]);
}

TEST_P(ExampleClient, ReportsTheHostsMessageForAWrongPassword) {
    TempDir dir;
    const std::string vault = dir.file("tresor.json");
    ASSERT_EQ(run_client(GetParam(), vault, MASTER_PASSWORD).status, 0);
    const std::string before = read_file(vault);

    const Finished wrong = run_client(GetParam(), vault, "ein-falsches-passwort");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "error: Falsches Master-Passwort\n");
    EXPECT_EQ(read_file(vault), before);
}

TEST_P(ExampleClient, ReportsAHostBinaryThatCannotStart) {
    TempDir dir;
    const Finished run =
        run_client(GetParam(), dir.file("tresor.json"), MASTER_PASSWORD, dir.file("fehlt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("error: cannot start " + dir.file("fehlt"))) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleClient,
                         testing::Values(Client{"Python", "python3", "client.py"},
                                         Client{"Node", "node", "client.mjs"}),
                         [](const testing::TestParamInfo<Client>& param_info) {
                             return param_info.param.name;
                         });

// A vault written through one client opens through the other: both speak the same protocol.
TEST(ExampleClients, OpenEachOthersVault) {
    TempDir dir;
    const std::string vault = dir.file("tresor.json");
    const Client python{"Python", "python3", "client.py"};
    const Client node{"Node", "node", "client.mjs"};
    const Finished created = run_client(python, vault, MASTER_PASSWORD);
    ASSERT_EQ(created.status, 0) << created.err;
    const Finished reopened = run_client(node, vault, MASTER_PASSWORD);
    EXPECT_EQ(reopened.status, 0) << reopened.err;
    EXPECT_TRUE(reopened.out.starts_with("unlocked vault with 1 entries\n")) << reopened.out;
}

}  // namespace
}  // namespace velkaron

// Runs the example clients in examples/ (Python and Node.js) against the real binary, so that
// what a client author copies from them keeps working.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "support/case_name.hpp"
#include "support/child_process.hpp"
#include "support/host_process.hpp"
#include "support/temp_dir.hpp"

extern char** environ;

namespace velkaron {
namespace {

using testing_support::Environment;
using testing_support::Finished;
using testing_support::lines_of;
using testing_support::read_file;
using testing_support::run_on_terminal;
using testing_support::run_to_end;
using testing_support::TempDir;
using testing_support::TerminalRun;

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

// Our environment without the VELKARON_ variables, so that only those a test sets count.
Environment environment_without_ours() {
    Environment environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string_view(*e).starts_with("VELKARON_")) environment.emplace_back(*e);
    }
    return environment;
}

std::vector<std::string> client_arguments(const Client& client, const std::string& vault,
                                          const std::string& binary) {
    return {(examples_folder() / client.script).string(), "--host-binary", binary, vault};
}

// Runs the client with the master password in VELKARON_PASSWORD; the interpreter is found on
// the PATH.
Finished run_client(const Client& client, const std::string& vault, const std::string& password,
                    const std::string& binary = VELKARON_BINARY) {
    Environment environment = environment_without_ours();
    environment.push_back("VELKARON_PASSWORD=" + password);
    return run_to_end(client.interpreter, client_arguments(client, vault, binary), "", environment);
}

// Runs the client without VELKARON_PASSWORD on a pseudo-terminal, as from a user's shell, and
// types `typed` and Return once it asks for the master password.
TerminalRun run_client_on_terminal(const Client& client, const std::string& vault,
                                   const std::string& typed) {
    return run_on_terminal(client.interpreter, client_arguments(client, vault, VELKARON_BINARY),
                           "Master-Passwort: ", typed, environment_without_ours());
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

const std::string DEMO_LINES_AFTER_STORING[] = {
    "for-host www\\.velkaron-demo\\.example: 1 login\\(s\\): demo@velkaron-demo\\.example",
    "list: 1 login\\(s\\)", "locked", "host exited with status 0"};

std::vector<std::string> with_demo_lines(std::vector<std::string> first_lines) {
    first_lines.insert(first_lines.end(), std::begin(DEMO_LINES_AFTER_STORING),
                       std::end(DEMO_LINES_AFTER_STORING));
    return first_lines;
}

const std::string CREATED =
    "created vault; recovery code \\(write it down\\): "
    "[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}";
const std::string STORED =
    "stored demo login (" + UUID + ") with a generated password of 24 characters";

TEST_P(ExampleClient, CreatesThenReopensTheVault) {
    TempDir dir;
    const std::string vault = dir.file("tresor.json");

    const Finished first = run_client(GetParam(), vault, MASTER_PASSWORD);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err, "");
    const auto ids = expect_lines(first.out, with_demo_lines({CREATED, STORED}));
    ASSERT_EQ(ids.size(), 1U);

    struct stat info {};
    ASSERT_EQ(::stat(vault.c_str(), &info), 0) << "the client left no vault file";
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    const std::string created = read_file(vault);

    // The second run finds the vault, unlocks it and finds its demo login, which it leaves
    // alone: the file is not written again.
    const Finished second = run_client(GetParam(), vault, MASTER_PASSWORD);
    EXPECT_EQ(second.status, 0) << second.err;
    const auto again = expect_lines(
        second.out,
        with_demo_lines({"unlocked vault with 1 entries",
                         "demo login (" + UUID + ") is stored already; left unchanged"}));
    ASSERT_EQ(again.size(), 1U);
    EXPECT_EQ(again[0], ids[0]);
    EXPECT_EQ(read_file(vault), created);
}

// Run against a vault in use, the client adds its demo login and touches nothing else, also
// not a login of the same host under another user name.
TEST_P(ExampleClient, LeavesEveryStoredLoginAsItWas) {
    TempDir dir;
    const std::string vault = dir.file("tresor.json");
    const Finished prepared = testing_support::run_host(
        {vault},
        std::string(R"({"id":1,"op":"create","password":")") + MASTER_PASSWORD + "\"}\n" +
            R"({"id":2,"op":"put","host":"example.org","username":"erika","password":"geheim"})"
            "\n"
            R"({"id":3,"op":"put","host":"velkaron-demo.example","username":"max","password":"p"})"
            "\n");
    ASSERT_EQ(prepared.status, 0);
    const auto before = nlohmann::json::parse(read_file(vault));

    const Finished run = run_client(GetParam(), vault, MASTER_PASSWORD);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("unlocked vault with 2 entries\nstored demo login "))
        << run.out;
    const auto after = nlohmann::json::parse(read_file(vault));
    ASSERT_EQ(after["entries"].size(), 3U);
    EXPECT_EQ(after["entries"][0], before["entries"][0]);
    EXPECT_EQ(after["entries"][1], before["entries"][1]);
    EXPECT_EQ(after["wrapped_key"], before["wrapped_key"]);
}

// Without VELKARON_PASSWORD the client asks on the terminal and does not show what is typed.
TEST_P(ExampleClient, AsksForThePasswordOnTheTerminalWithoutEcho) {
    TempDir dir;
    const TerminalRun run =
        run_client_on_terminal(GetParam(), dir.file("tresor.json"), MASTER_PASSWORD);
    EXPECT_EQ(run.status, 0) << run.shown;
    EXPECT_TRUE(run.shown.starts_with("Master-Passwort: ")) << run.shown;
    EXPECT_NE(run.shown.find("created vault; recovery code"), std::string::npos) << run.shown;
    EXPECT_EQ(run.shown.find(MASTER_PASSWORD), std::string::npos) << "echoed: " << run.shown;
}

// Without a terminal and without VELKARON_PASSWORD, the first input line is the password.
TEST_P(ExampleClient, ReadsThePasswordFromItsInputWithoutATerminal) {
    TempDir dir;
    const Finished run =
        run_to_end(GetParam().interpreter,
                   client_arguments(GetParam(), dir.file("tresor.json"), VELKARON_BINARY),
                   std::string(MASTER_PASSWORD) + "\n", environment_without_ours());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("created vault; recovery code")) << run.out;
    EXPECT_NE(run.err.find("Master-Passwort: "), std::string::npos) << run.err;
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
                         testing_support::CaseName{});

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

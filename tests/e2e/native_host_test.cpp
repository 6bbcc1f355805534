// velkaron-native through pipes, started as a browser starts it: who may start it, where it
// finds its vault, and a session that must answer byte for byte as the line host does.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "native/private_folder.hpp"
#include "support/case_name.hpp"
#include "support/host_process.hpp"
#include "support/native_messages.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::lines_of;
using testing_support::messages;
using testing_support::read_file;
using testing_support::responses_of;
using testing_support::run_host;
using testing_support::run_to_end;
using testing_support::TempDir;
using testing_support::write_file;

const std::string ORIGIN = "chrome-extension://" VELKARON_EXTENSION_ID "/";
const std::string OTHER_ID(32, 'b');
const std::string OTHER_GECKO_ID = "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f60}";
constexpr std::string_view STATUS = R"({"id":1,"op":"status"})";

class NativeHost : public testing::Test {
  protected:
    // Started as a browser starts it, in an environment of its own.
    [[nodiscard]] testing_support::Finished native(const std::vector<std::string>& args,
                                                   std::string_view input) const {
        return run_to_end(VELKARON_NATIVE_BINARY, args, input,
                          testing_support::Environment{"XDG_CONFIG_HOME=" + dir.file("config"),
                                                       "XDG_DATA_HOME=" + dir.file("data"),
                                                       "HOME=" + dir.file("home")});
    }
    // The arguments Firefox starts the host with for the extension `id`.
    [[nodiscard]] std::vector<std::string> firefox_args(const std::string& id) const {
        return {dir.file("home/.mozilla/native-messaging-hosts/velkaron.vault.json"), id};
    }
    [[nodiscard]] std::string config_file() const {
        return dir.file("config/velkaron/native-host.json");
    }
    void configure(const std::string& text) const {
        ASSERT_TRUE(make_private_folder(dir.file("config/velkaron")).has_value());
        write_file(config_file(), text);
    }

    TempDir dir;
};

struct RefusalCase {
    const char* name;
    std::vector<std::string> args;
    const char* config;  // nullptr: no configuration file
    std::string message;
};

class NativeHostRefuses : public NativeHost, public testing::WithParamInterface<RefusalCase> {};

TEST_P(NativeHostRefuses, WithOneMessageAndStatus2BeforeReadingAnything) {
    if (GetParam().config != nullptr) configure(GetParam().config);
    const auto result = native(GetParam().args, messages({STATUS}));
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    std::string message = GetParam().message;
    if (const auto at = message.find("CONFIG"); at != std::string::npos) {
        message.replace(at, 6, config_file());
    }
    EXPECT_EQ(result.err, message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Start, NativeHostRefuses,
    testing::Values(
        RefusalCase{"NoOrigin", {}, nullptr, "Aufruf: velkaron-native chrome-extension://<id>/"},
        RefusalCase{"OtherExtension",
                    {"chrome-extension://" + OTHER_ID + "/"},
                    nullptr,
                    "Erweiterung nicht zugelassen: chrome-extension://" + OTHER_ID + "/"},
        RefusalCase{"OriginWithoutSlash",
                    {"chrome-extension://" VELKARON_EXTENSION_ID},
                    nullptr,
                    "Erweiterung nicht zugelassen: chrome-extension://" VELKARON_EXTENSION_ID},
        RefusalCase{"OtherFirefoxExtension",
                    {"/m/velkaron.vault.json", "fremd@example.org"},
                    nullptr,
                    "Erweiterung nicht zugelassen: fremd@example.org"},
        RefusalCase{"ChromiumIdFromFirefox",
                    {"/m/velkaron.vault.json", VELKARON_EXTENSION_ID},
                    nullptr,
                    "Erweiterung nicht zugelassen: " VELKARON_EXTENSION_ID},
        RefusalCase{"GeckoIdAsOrigin",
                    {VELKARON_GECKO_ID},
                    nullptr,
                    "Erweiterung nicht zugelassen: " VELKARON_GECKO_ID},
        RefusalCase{"BrokenConfiguration",
                    {ORIGIN},
                    R"({"vault":"relative.json"})",
                    "Konfiguration beschädigt: CONFIG: `vault` ist kein absoluter Pfad"}),
    testing_support::CaseName());

// Each browser's arguments, for the built-in extension and for one the configuration allows.
TEST_F(NativeHost, ExtensionsTheConfigurationAllowsAreServedToo) {
    configure(R"({"allowed_extensions":[")" + OTHER_ID + R"(",")" + OTHER_GECKO_ID + R"("]})");
    for (const std::vector<std::string>& args : {std::vector<std::string>{ORIGIN, "ignored"},
                                                 {"chrome-extension://" + OTHER_ID + "/"},
                                                 firefox_args(VELKARON_GECKO_ID),
                                                 firefox_args(OTHER_GECKO_ID)}) {
        const auto result = native(args, messages({STATUS}));
        EXPECT_EQ(result.status, 0) << args.back();
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(
            responses_of(result.out),
            std::vector<std::string>{
                R"({"id":1,"ok":true,"data":{"entries":0,"exists":false,"unlocked":false}})"});
    }
}

TEST_F(NativeHost, FolderThatCannotBeMadeStopsTheStart) {
    write_file(dir.file("data"), "a file where a folder belongs");
    const auto result = native({ORIGIN}, messages({STATUS}));
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Ordner nicht anlegbar: " + dir.file("data/velkaron") +
                              ": Not a directory (os error 20)\n");
}

// What differs between two runs of the same requests: the recovery code and the times.
std::string without_chance(std::string response) {
    static const std::regex code(R"("recoveryCode":"[A-Z0-9-]+")");
    static const std::regex time(R"("updated_at":[0-9]+)");
    response = std::regex_replace(response, code, R"("recoveryCode":"…")");
    return std::regex_replace(response, time, R"("updated_at":0)");
}

TEST_F(NativeHost, AnswersAsTheLineHostDoesAndLeavesAVaultItOpens) {
    std::string title;  // three of these make a list longer than one native message may be
    while (title.size() < 400'000) title += R"(\"Titel\u0001 mit Ümlaut € )";
    std::vector<std::string> requests{
        std::string(STATUS),
        R"({"id":2,"op":"create","password":"korrekt-pferd-batterie"})",
        R"({"id":3,"op":"put","host":"example.org","username":"erika","password":"geheim-1","entry_id":"e1"})",
        R"(not json)",
    };
    for (int i = 0; i < 3; ++i) {
        requests.push_back(
            R"({"id":4,"op":"put","host":"big.example","password":"pw","entry_id":"b)" +
            std::to_string(i) + R"(","title":")" + title + "\"}");
    }
    for (const char* request :
         {R"({"id":5,"op":"list"})", R"({"id":6,"op":"reveal","entry_id":"e1"})",
          R"({"id":7,"op":"for-host","host":"www.example.org","secure":true})",
          R"({"id":8,"op":"lock"})", R"({"id":9,"op":"list"})",
          R"({"id":10,"op":"unlock","password":"korrekt-pferd-batterie"})",
          R"({"id":11,"op":"delete","entry_id":"b1"})", R"({"id":12,"op":"status"})"}) {
        requests.emplace_back(request);
    }
    std::string lines;
    std::string frames;
    for (const std::string& request : requests) {
        lines += request + "\n";
        frames += messages({request});
    }
    configure(R"({"vault":")" + dir.file("native.json") + R"("})");
    const auto native_run = native({ORIGIN}, frames);
    const auto line_run = run_host({dir.file("line.json")}, lines);
    ASSERT_EQ(native_run.status, 0) << native_run.err;
    EXPECT_EQ(native_run.err, "");
    ASSERT_EQ(line_run.status, 0);

    const std::vector<std::string> native_responses = responses_of(native_run.out);
    const std::vector<std::string> line_responses = lines_of(line_run.out);
    ASSERT_EQ(native_responses.size(), requests.size());
    ASSERT_EQ(line_responses.size(), requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(without_chance(native_responses[i]), without_chance(line_responses[i]))
            << "request " << i;
    }
    EXPECT_GT(testing_support::split_messages(native_run.out).size(), requests.size())
        << "the list was not chunked";

    // The line host opens what the native host saved.
    const auto reopened = run_host({dir.file("native.json")},
                                   R"({"id":1,"op":"unlock","password":"korrekt-pferd-batterie"})"
                                   "\n");
    EXPECT_EQ(
        lines_of(reopened.out),
        std::vector<std::string>{R"({"id":1,"ok":true,"data":{"entries":3,"unlocked":true}})"});
}

TEST_F(NativeHost, InstallRegistersThisBinary) {
    const std::string hosts = dir.file("profile/NativeMessagingHosts");
    const auto result = native({"install", "--browser", "chromium", "--manifest-dir", hosts,
                                "--vault", dir.file("t.json")},
                               "");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "geschrieben: " + config_file() + "\ngeschrieben: " + hosts +
                              "/velkaron.vault.json\n");
    const auto manifest = nlohmann::json::parse(read_file(hosts + "/velkaron.vault.json"));
    EXPECT_EQ(manifest["path"], std::filesystem::canonical(VELKARON_NATIVE_BINARY).string());
    EXPECT_EQ(manifest["allowed_origins"], nlohmann::json::array({ORIGIN}));
    EXPECT_EQ(nlohmann::json::parse(read_file(config_file()))["vault"], dir.file("t.json"));
}

TEST_F(NativeHost, InstallRefusesAVaultInAMissingFolder) {
    const auto result = native({"install", "--browser", "chromium", "--manifest-dir",
                                dir.file("hosts"), "--vault", dir.file("fehlt/t.json")},
                               "");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Ordner des Tresors fehlt: " + dir.file("fehlt") + "\n");
}

// Where Firefox looks first, under the temporary HOME; and what it starts from there is served.
TEST_F(NativeHost, InstallForFirefoxWritesTheManifestFirefoxReads) {
    const auto result = native({"install", "--browser", "firefox"}, "");
    const std::string manifest_file = firefox_args("")[0];
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "geschrieben: " + manifest_file + "\n");
    const auto manifest = nlohmann::json::parse(read_file(manifest_file));
    EXPECT_EQ(manifest["name"], "velkaron.vault");
    EXPECT_EQ(manifest["path"], std::filesystem::canonical(VELKARON_NATIVE_BINARY).string());
    EXPECT_EQ(manifest["allowed_extensions"], nlohmann::json::array({VELKARON_GECKO_ID}));
    EXPECT_FALSE(manifest.contains("allowed_origins"));

    const auto served = native(firefox_args(manifest["allowed_extensions"][0]), messages({STATUS}));
    EXPECT_EQ(served.status, 0) << served.err;
    EXPECT_EQ(responses_of(served.out).size(), 1U);

    const auto removed = native({"install", "--browser", "firefox", "--uninstall"}, "");
    EXPECT_EQ(removed.out, "entfernt: " + manifest_file + "\n");
    EXPECT_FALSE(std::filesystem::exists(manifest_file));
}

TEST_F(NativeHost, InstallWithBadOptionsShowsTheUsage) {
    const auto result = native({"install", "--browser", "safari"}, "");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "unbekannter Browser: safari (chromium, chrome oder firefox)\nAufruf: "
              "velkaron-native install --browser chromium|chrome|firefox [--vault PFAD] "
              "[--manifest-dir ORDNER] [--uninstall]\n");
}

// Before any configuration is read: help works where the host could not start.
TEST_F(NativeHost, HelpShowsBothUsagesAndSucceeds) {
    configure(R"({"vault":"relative.json"})");
    for (const char* option : {"--help", "-h"}) {
        const auto result = native({option}, "");
        EXPECT_EQ(result.status, 0) << option;
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(result.out.starts_with("Aufruf: velkaron-native chrome-extension://<id>/\n"))
            << result.out;
        EXPECT_NE(result.out.find("velkaron-native install --browser chromium|chrome"),
                  std::string::npos);
        EXPECT_NE(result.out.find("install --uninstall"), std::string::npos);
        EXPECT_NE(result.out.find("Firefox mit dem absoluten Pfad des Host-Manifests"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace velkaron

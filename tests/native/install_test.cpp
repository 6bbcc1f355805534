// velkaron-native install: its options, the files it writes and removes, and that running it
// again changes nothing.

#include "native/install.hpp"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "native/private_folder.hpp"
#include "support/case_name.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

struct OptionsCase {
    const char* name;
    std::vector<std::string_view> args;
    const char* failure;  // nullptr: accepted
};

class InstallOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(InstallOptions, AreAcceptedOrRefusedWithTheReason) {
    const auto request = parse_install_options(GetParam().args);
    if (GetParam().failure == nullptr) {
        EXPECT_TRUE(request.has_value()) << request.error();
    } else {
        ASSERT_FALSE(request.has_value());
        EXPECT_EQ(request.error(), GetParam().failure);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, InstallOptions,
    testing::Values(OptionsCase{"Chromium", {"--browser", "chromium"}, nullptr},
                    OptionsCase{"ChromeWithAll",
                                {"--vault", "/v.json", "--browser", "chrome", "--manifest-dir",
                                 "/m", "--uninstall"},
                                nullptr},
                    OptionsCase{"NoBrowser", {"--vault", "/v.json"}, "--browser fehlt"},
                    OptionsCase{"Firefox", {"--browser", "firefox", "--uninstall"}, nullptr},
                    OptionsCase{"UnknownBrowser",
                                {"--browser", "safari"},
                                "unbekannter Browser: safari (chromium, chrome oder firefox)"},
                    OptionsCase{"UnknownOption",
                                {"--browser", "chrome", "--force"},
                                "unbekannte Option: --force"},
                    OptionsCase{"MissingValue", {"--browser"}, "--browser braucht einen Wert"},
                    OptionsCase{"EmptyPath",
                                {"--browser", "chrome", "--vault", ""},
                                "--vault braucht einen Pfad in UTF-8"},
                    OptionsCase{"PathNotUtf8",
                                {"--browser", "chrome", "--manifest-dir", "/m\xFF"},
                                "--manifest-dir braucht einen Pfad in UTF-8"}),
    testing_support::CaseName());

TEST(InstallOptionsPaths, RelativePathsAreTakenAgainstTheWorkingFolder) {
    const std::vector<std::string_view> args{"--browser", "chrome", "--vault", "t.json"};
    const auto request = parse_install_options(args);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->browser, Browser::Chrome);
    EXPECT_EQ(request->vault, (std::filesystem::current_path() / "t.json").string());
    EXPECT_FALSE(request->uninstall);
}

class Install : public testing::Test {
  protected:
    [[nodiscard]] InstallContext context() const {
        return {{dir.file("config"), dir.file("data"), dir.file("home")},
                "/opt/velkaron/velkaron-native",
                {std::string(32, 'a'), "tresor@velkaron.example"}};
    }
    [[nodiscard]] std::string firefox_manifest() const {
        return dir.file("home/.mozilla/native-messaging-hosts/velkaron.vault.json");
    }
    [[nodiscard]] std::string manifest(const char* browser_folder) const {
        return dir.file("config/") + browser_folder + "/NativeMessagingHosts/velkaron.vault.json";
    }
    [[nodiscard]] std::vector<std::string> run(const InstallRequest& request) const {
        auto done = run_install(request, context());
        EXPECT_TRUE(done.has_value()) << done.error();
        return done ? *done : std::vector<std::string>{};
    }

    TempDir dir;
};

TEST_F(Install, WritesManifestAndConfigurationAndAgainTheSame) {
    const InstallRequest request{Browser::Chromium, "/tresor.json", std::nullopt, false};
    const std::string config = config_path(context().dirs);
    EXPECT_EQ(run(request), (std::vector<std::string>{"geschrieben: " + config,
                                                      "geschrieben: " + manifest("chromium")}));
    const auto written = nlohmann::ordered_json::parse(read_file(manifest("chromium")));
    EXPECT_EQ(written, nlohmann::ordered_json::parse(R"({
        "name": "velkaron.vault",
        "description": "Velkaron-Tresor: Anmeldungen für die Browser-Erweiterung",
        "path": "/opt/velkaron/velkaron-native",
        "type": "stdio",
        "allowed_origins": ["chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/"]
    })"));
    EXPECT_EQ(nlohmann::json::parse(read_file(config)),
              nlohmann::json::parse(R"({"vault":"/tresor.json"})"));

    const std::string first = read_file(manifest("chromium")) + read_file(config);
    (void)run(request);
    EXPECT_EQ(read_file(manifest("chromium")) + read_file(config), first);
    EXPECT_FALSE(std::filesystem::exists(manifest("chromium") + ".tmp"));
}

TEST_F(Install, ManifestAllowsTheConfiguredExtensionsAndKeepsThemInTheConfiguration) {
    const std::string extra(32, 'b');
    ASSERT_TRUE(
        save_config(context().dirs, {std::nullopt, {extra, std::string(32, 'a')}}).has_value());
    (void)run({Browser::Chrome, "/v.json", dir.file("profile/NativeMessagingHosts"), false});
    const auto written = nlohmann::json::parse(
        read_file(dir.file("profile/NativeMessagingHosts/velkaron.vault.json")));
    EXPECT_EQ(written["allowed_origins"],
              nlohmann::json::parse(R"(["chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/",
                                        "chrome-extension://bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb/"])"));
    const auto config = load_config(context().dirs);
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->vault, "/v.json");
    EXPECT_EQ(config->allowed_extensions.front(), extra);
    EXPECT_FALSE(std::filesystem::exists(manifest("google-chrome")));
}

TEST_F(Install, WithoutVaultTheConfigurationIsLeftAlone) {
    EXPECT_EQ(run({Browser::Chrome, std::nullopt, std::nullopt, false}),
              std::vector<std::string>{"geschrieben: " + manifest("google-chrome")});
    EXPECT_FALSE(std::filesystem::exists(config_path(context().dirs)));
}

TEST_F(Install, UninstallRemovesWhatInstallWroteOnce) {
    (void)run({Browser::Chromium, "/v.json", std::nullopt, false});
    const InstallRequest uninstall{Browser::Chromium, std::nullopt, std::nullopt, true};
    EXPECT_EQ(run(uninstall),
              (std::vector<std::string>{"entfernt: " + manifest("chromium"),
                                        "entfernt: " + config_path(context().dirs)}));
    EXPECT_EQ(run(uninstall), std::vector<std::string>{});
}

TEST_F(Install, ConfigurationStaysWhileTheOtherBrowserIsRegistered) {
    (void)run({Browser::Chromium, "/v.json", std::nullopt, false});
    (void)run({Browser::Chrome, std::nullopt, std::nullopt, false});
    EXPECT_EQ(run({Browser::Chrome, std::nullopt, std::nullopt, true}),
              std::vector<std::string>{"entfernt: " + manifest("google-chrome")});
    EXPECT_TRUE(std::filesystem::exists(config_path(context().dirs)));
}

TEST_F(Install, FirefoxManifestListsTheGeckoIdsUnderHome) {
    const std::string uuid = "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f60}";
    ASSERT_TRUE(
        save_config(context().dirs, {std::nullopt, {std::string(32, 'b'), uuid}}).has_value());
    EXPECT_EQ(run({Browser::Firefox, std::nullopt, std::nullopt, false}),
              std::vector<std::string>{"geschrieben: " + firefox_manifest()});
    EXPECT_EQ(nlohmann::ordered_json::parse(read_file(firefox_manifest())),
              nlohmann::ordered_json::parse(R"({
        "name": "velkaron.vault",
        "description": "Velkaron-Tresor: Anmeldungen für die Browser-Erweiterung",
        "path": "/opt/velkaron/velkaron-native",
        "type": "stdio",
        "allowed_extensions": ["tresor@velkaron.example",
                               "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f60}"]
    })"));
    // And the Chromium manifest lists only the Chromium ids.
    (void)run({Browser::Chromium, std::nullopt, std::nullopt, false});
    EXPECT_EQ(nlohmann::json::parse(read_file(manifest("chromium")))["allowed_origins"],
              nlohmann::json::parse(R"(["chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/",
                                        "chrome-extension://bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb/"])"));
}

TEST_F(Install, UninstallingOneBrowserLeavesTheOthersAndTheConfiguration) {
    for (const Browser browser : BROWSERS) (void)run({browser, "/v.json", std::nullopt, false});
    const std::string config = config_path(context().dirs);
    EXPECT_EQ(run({Browser::Firefox, std::nullopt, std::nullopt, true}),
              std::vector<std::string>{"entfernt: " + firefox_manifest()});
    EXPECT_EQ(run({Browser::Chromium, std::nullopt, std::nullopt, true}),
              std::vector<std::string>{"entfernt: " + manifest("chromium")});
    EXPECT_TRUE(std::filesystem::exists(manifest("google-chrome")));
    // Firefox's manifest, the last, takes the configuration with it.
    (void)run({Browser::Firefox, std::nullopt, std::nullopt, false});
    (void)run({Browser::Chrome, std::nullopt, std::nullopt, true});
    EXPECT_EQ(run({Browser::Firefox, std::nullopt, std::nullopt, true}),
              (std::vector<std::string>{"entfernt: " + firefox_manifest(), "entfernt: " + config}));
}

TEST_F(Install, FirefoxNeedsHome) {
    InstallContext without_home = context();
    without_home.dirs.home.clear();
    const auto done =
        run_install({Browser::Firefox, std::nullopt, std::nullopt, false}, without_home);
    ASSERT_FALSE(done.has_value());
    EXPECT_EQ(done.error(), "Ordner unbekannt: HOME ist kein absoluter Pfad");
    EXPECT_TRUE(run_install({Browser::Firefox, std::nullopt, dir.file("m"), false}, without_home)
                    .has_value());
}

TEST_F(Install, FailuresNameTheFile) {
    write_file(dir.file("blocker"), "a file where a folder belongs");
    const std::string folder = dir.file("blocker/hosts");
    const auto done = run_install({Browser::Chromium, std::nullopt, folder, false}, context());
    ASSERT_FALSE(done.has_value());
    EXPECT_EQ(done.error(), "Ordner nicht anlegbar: " + folder + ": Not a directory (os error 20)");
    const auto removed = run_install({Browser::Chromium, std::nullopt, folder, true}, context());
    ASSERT_FALSE(removed.has_value());
    EXPECT_EQ(removed.error(), folder +
                                   "/velkaron.vault.json: Entfernen fehlgeschlagen: Not a "
                                   "directory (os error 20)");
    ASSERT_TRUE(make_private_folder(dir.file("config/velkaron")).has_value());
    write_file(config_path(context().dirs), "{");
    const auto unreadable =
        run_install({Browser::Chromium, "/v.json", std::nullopt, false}, context());
    ASSERT_FALSE(unreadable.has_value());
    EXPECT_TRUE(unreadable.error().starts_with("Konfiguration beschädigt: ")) << unreadable.error();
}

TEST_F(Install, RefusesAVaultWhoseFolderIsMissingAndWritesNothing) {
    write_file(dir.file("blocker"), "a file where a folder belongs");
    for (const std::string& folder : {dir.file("missing"), dir.file("blocker")}) {
        const auto done = run_install(
            {Browser::Chromium, folder + "/tresor.json", std::nullopt, false}, context());
        ASSERT_FALSE(done.has_value());
        EXPECT_EQ(done.error(), "Ordner des Tresors fehlt: " + folder);
    }
    EXPECT_FALSE(std::filesystem::exists(config_path(context().dirs)));
    EXPECT_FALSE(std::filesystem::exists(manifest("chromium")));
}

}  // namespace
}  // namespace velkaron

// Where velkaron-native finds its configuration and vault, and every way a configuration file
// can be wrong.

#include "native/settings.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "native/private_folder.hpp"
#include "support/case_name.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

// The environment base_dirs sees; a fresh one per case.
std::map<std::string, std::string> fake_environment;

const char* fake_getenv(const char* name) {
    const auto found = fake_environment.find(name);
    return found == fake_environment.end() ? nullptr : found->second.c_str();
}

struct DirsCase {
    const char* name;
    std::map<std::string, std::string> environment;
    BaseDirs dirs;        // when found
    const char* failure;  // when not
};

class BaseDirsFrom : public testing::TestWithParam<DirsCase> {};

TEST_P(BaseDirsFrom, TheEnvironment) {
    fake_environment = GetParam().environment;
    const auto dirs = base_dirs(fake_getenv);
    if (GetParam().failure != nullptr) {
        ASSERT_FALSE(dirs.has_value());
        EXPECT_EQ(dirs.error(), GetParam().failure);
        return;
    }
    ASSERT_TRUE(dirs.has_value()) << dirs.error();
    EXPECT_EQ(dirs->config_home, GetParam().dirs.config_home);
    EXPECT_EQ(dirs->data_home, GetParam().dirs.data_home);
    EXPECT_EQ(dirs->home, GetParam().dirs.home);
}

INSTANTIATE_TEST_SUITE_P(
    Xdg, BaseDirsFrom,
    testing::Values(
        DirsCase{"HomeOnly",
                 {{"HOME", "/home/erika"}},
                 {"/home/erika/.config", "/home/erika/.local/share", "/home/erika"},
                 nullptr},
        DirsCase{"XdgFirst",
                 {{"HOME", "/home/erika"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}},
                 {"/c", "/d", "/home/erika"},
                 nullptr},
        DirsCase{"XdgWithoutHome",
                 {{"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}},
                 {"/c", "/d", ""},
                 nullptr},
        DirsCase{"XdgWithRelativeHome",
                 {{"HOME", "h"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}},
                 {"/c", "/d", ""},
                 nullptr},
        DirsCase{"EmptyAndRelativeCountAsUnset",
                 {{"HOME", "/h"}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", "rel/ative"}},
                 {"/h/.config", "/h/.local/share", "/h"},
                 nullptr},
        DirsCase{"NoHome",
                 {{"XDG_DATA_HOME", "/d"}},
                 {},
                 "Ordner unbekannt: weder XDG_CONFIG_HOME noch HOME ist ein absoluter Pfad"},
        DirsCase{"RelativeHome",
                 {{"HOME", "h"}, {"XDG_CONFIG_HOME", "/c"}},
                 {},
                 "Ordner unbekannt: weder XDG_DATA_HOME noch HOME ist ein absoluter Pfad"}),
    testing_support::CaseName());

class ConfigTest : public testing::Test {
  protected:
    [[nodiscard]] BaseDirs dirs() const {
        return {dir.file("config"), dir.file("data"), dir.file("home")};
    }
    void write_config(const std::string& text) const {
        ASSERT_TRUE(make_private_folder(dir.file("config/velkaron")).has_value());
        write_file(config_path(dirs()), text);
    }

    TempDir dir;
};

TEST_F(ConfigTest, MissingFileMeansDefaults) {
    const auto config = load_config(dirs());
    ASSERT_TRUE(config.has_value()) << config.error();
    EXPECT_FALSE(config->vault.has_value());
    EXPECT_TRUE(config->allowed_extensions.empty());
}

TEST_F(ConfigTest, WrittenConfigurationReadsBack) {
    const NativeConfig written{
        "/srv/tresor.json",
        {std::string(32, 'a'), "tresor@example.org", "{6f1c3a5e-0d2b-4c8e-9a7f-1b2c3d4e5f60}"}};
    ASSERT_TRUE(save_config(dirs(), written).has_value());
    const auto read = load_config(dirs());
    ASSERT_TRUE(read.has_value()) << read.error();
    EXPECT_EQ(read->vault, written.vault);
    EXPECT_EQ(read->allowed_extensions, written.allowed_extensions);
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("config/velkaron").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700U);
}

struct BadConfigCase {
    const char* name;
    const char* text;
    const char* detail;  // after "Konfiguration beschädigt: <path>: "
};

class BadConfig : public ConfigTest, public testing::WithParamInterface<BadConfigCase> {};

TEST_P(BadConfig, IsRefusedNamingTheFileAndTheFault) {
    write_config(GetParam().text);
    const auto config = load_config(dirs());
    ASSERT_FALSE(config.has_value());
    EXPECT_EQ(config.error(),
              "Konfiguration beschädigt: " + config_path(dirs()) + ": " + GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadConfig,
    testing::Values(
        BadConfigCase{"Empty", "",
                      "syntax error while parsing value - unexpected end of input; expected '[', "
                      "'{', or a literal at line 1 column 0"},
        BadConfigCase{"NotAnObject", "[]",
                      "invalid type: sequence, expected a configuration object at line 1 column 0"},
        BadConfigCase{"VaultNotText", R"({"vault":1})",
                      "invalid type: integer `1`, expected a string at line 1 column 10"},
        BadConfigCase{"VaultRelative", R"({"vault":"tresor.json"})",
                      "`vault` ist kein absoluter Pfad"},
        BadConfigCase{"IdsNotAList", R"({"allowed_extensions":"abc"})",
                      "invalid type: string \"abc\", expected a sequence at line 1 column 27"},
        BadConfigCase{"IdNotAnId", R"({"allowed_extensions":["ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP"]})",
                      "`ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP` ist keine Erweiterungs-Id"},
        BadConfigCase{"GeckoIdWithoutDomain", R"({"allowed_extensions":["tresor@"]})",
                      "`tresor@` ist keine Erweiterungs-Id"},
        BadConfigCase{"DuplicateMember", R"({"vault":"/a","vault":"/b"})",
                      "duplicate field `vault` at line 1 column 21"}),
    testing_support::CaseName());

TEST_F(ConfigTest, UnreadableFileIsRefused) {
    ASSERT_TRUE(make_private_folder(config_path(dirs())).has_value());  // a folder in its place
    const auto config = load_config(dirs());
    ASSERT_FALSE(config.has_value());
    EXPECT_EQ(config.error(), "Konfiguration nicht lesbar: " + config_path(dirs()) +
                                  ": Is a directory (os error 21)");
}

TEST_F(ConfigTest, DefaultVaultFolderIsMadePrivateAndConfiguredOnesAreNot) {
    const auto vault = vault_to_serve(dirs(), {});
    ASSERT_TRUE(vault.has_value()) << vault.error();
    EXPECT_EQ(*vault, dir.file("data/velkaron/tresor.json"));
    for (const char* folder : {"data", "data/velkaron"}) {
        struct stat info {};
        ASSERT_EQ(::stat(dir.file(folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 07777, 0700U) << folder;
    }
    const auto configured = vault_to_serve(dirs(), {dir.file("elsewhere/t.json"), {}});
    ASSERT_TRUE(configured.has_value());
    EXPECT_EQ(*configured, dir.file("elsewhere/t.json"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("elsewhere")));
}

TEST_F(ConfigTest, ExistingFoldersKeepTheirMode) {
    ASSERT_EQ(::mkdir(dir.file("data").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir.file("data").c_str(), 0755), 0);
    ASSERT_TRUE(vault_to_serve(dirs(), {}).has_value());
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("data").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755U);
}

TEST_F(ConfigTest, FolderThatCannotBeMadeIsReported) {
    write_file(dir.file("data"), "a file where a folder belongs");
    const auto vault = vault_to_serve(dirs(), {});
    ASSERT_FALSE(vault.has_value());
    EXPECT_EQ(vault.error(), "Ordner nicht anlegbar: " + dir.file("data/velkaron") +
                                 ": Not a directory (os error 20)");
}

}  // namespace
}  // namespace velkaron

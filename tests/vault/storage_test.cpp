#include "vault/storage.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "state/vault_access.hpp"
#include "support/case_name.hpp"
#include "support/fixed_bytes.hpp"
#include "support/sample_vault.hpp"
#include "support/temp_dir.hpp"
#include "support/vault_load_cases.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using testing_support::counting_vault_key;
using testing_support::placeholder_entry;
using testing_support::read_file;
using testing_support::sample_recovery;
using testing_support::sample_vault;
using testing_support::sealed_entry;
using testing_support::TempDir;
using testing_support::vault_load_faults;
using testing_support::write_file;

unsigned mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// --- temporary path ---------------------------------------------------------------------

struct TemporaryCase {
    const char* name;
    const char* vault;
    const char* temporary;
};

class TemporaryPath : public testing::TestWithParam<TemporaryCase> {};

TEST_P(TemporaryPath, ReplacesTheExtensionOfTheFileName) {
    EXPECT_EQ(temporary_path(GetParam().vault), GetParam().temporary);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, TemporaryPath,
    testing::Values(
        TemporaryCase{"Json", "tresor.json", "tresor.tmp"},
        TemporaryCase{"TwoDots", "/data/archiv.alt.json", "/data/archiv.alt.tmp"},
        TemporaryCase{"EndsInADot", "tresor.", "tresor.tmp"},
        TemporaryCase{"DotInTheFolderOnly", "dir.d/tresor", "dir.d/tresor.tmp"},
        TemporaryCase{"HiddenFileWithoutExtension", "/home/u/.tresor", "/home/u/.tresor.tmp"},
        TemporaryCase{"TwoLeadingDots", "a/..tresor", "a/..tmp"},
        // Replacing "tmp" by "tmp" would make the vault its own temporary file.
        TemporaryCase{"TmpExtension", "x/tresor.tmp", "x/tresor.tmp.tmp"},
        TemporaryCase{"NamedTmp", "tmp", "tmp.tmp"},
        // No file name: the path stays as it is, and writing to it fails.
        TemporaryCase{"Root", "/", "/"}, TemporaryCase{"ParentOfAFolder", "a/..", "a/.."},
        TemporaryCase{"Parent", "..", ".."}, TemporaryCase{"TrailingSlash", "a/", "a/"}),
    testing_support::CaseName{});

// --- loading ----------------------------------------------------------------------------

class LoadFault : public testing::TestWithParam<testing_support::LoadCase> {};

TEST_P(LoadFault, LeavesNoVaultInMemory) {
    TempDir dir;
    HostState state(dir.file("tresor.json"));
    GetParam().prepare(state.path());
    const auto loaded = loaded_or_read_vault(state);
    ASSERT_FALSE(loaded.has_value());
    EXPECT_EQ(loaded.error(), GetParam().error);
    EXPECT_FALSE(state.vault() != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Messages, LoadFault, testing::ValuesIn(vault_load_faults()),
                         testing_support::CaseName{});

// Once read, the vault in memory follows the file (a locked host has no key to compare).
TEST(LoadVault, ReadsTheFileAgainWhenItChanged) {
    TempDir dir;
    HostState state(dir.file("tresor.json"));
    write_file(state.path(), serialize_vault(sample_vault({placeholder_entry("first")})));
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    ASSERT_TRUE(state.vault() != nullptr);
    EXPECT_EQ(*state.vault(), sample_vault({placeholder_entry("first")}));

    write_file(state.path(), serialize_vault(sample_vault({placeholder_entry("second")})));
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    EXPECT_EQ(*state.vault(), sample_vault({placeholder_entry("second")}));

    state.lock();
    ASSERT_TRUE(loaded_or_read_vault(state).has_value());
    EXPECT_EQ(*state.vault(), sample_vault({placeholder_entry("second")}));
}

TEST(LoadVault, FollowsASymbolicLink) {
    TempDir dir;
    write_file(dir.file("target"), serialize_vault(sample_vault()));
    fs::create_symlink(dir.file("target"), dir.file("tresor.json"));
    const auto loaded = load_vault(dir.file("tresor.json"));
    ASSERT_TRUE(loaded.has_value()) << loaded.error();
    EXPECT_EQ(loaded->vault, sample_vault());
}

// --- saving -----------------------------------------------------------------------------

// Any key will do while nobody else changes the file: the key only decides about newer files.
const VaultKey KEY = counting_vault_key(0x07);

// A vault the host read from nowhere: whatever is at `path` is another program's file.
Status save_new(const std::string& path, VaultFile vault) {
    std::optional<FileVersion> none;
    return save_vault(path, vault, none, KEY, {});
}

// A host that read the vault file (OLD) and changed the vault in memory since.
class SaveVault : public testing::Test {
  protected:
    void SetUp() override {
        write_file(path_, OLD);
        auto loaded = load_vault(path_);
        ASSERT_TRUE(loaded.has_value()) << loaded.error();
        version_ = std::move(loaded->version);
    }

    Status save() { return save_vault(path_, vault_, version_, KEY, {}); }

    // The vault file keeps its previous content after a failed save.
    void expect_failure(const std::string& error) {
        const Status saved = save();
        ASSERT_FALSE(saved.has_value());
        EXPECT_EQ(saved.error(), error);
    }

    const std::string OLD = serialize_vault(sample_vault({placeholder_entry("old")}));
    TempDir dir_;
    std::string path_ = dir_.file("tresor.json");
    VaultFile vault_ = sample_vault();
    std::optional<FileVersion> version_;
    std::string temporary_ = dir_.file("tresor.tmp");
};

TEST_F(SaveVault, WritesExactlyTheSerialisedDocumentWithMode0600) {
    ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
    const mode_t previous = ::umask(0);
    const Status saved = save();
    ::umask(previous);
    ASSERT_TRUE(saved.has_value()) << saved.error();
    EXPECT_EQ(read_file(path_), serialize_vault(vault_));
    EXPECT_EQ(mode_of(path_), 0600u);
    EXPECT_FALSE(fs::exists(temporary_));
}

TEST_F(SaveVault, NothingToSaveWithoutAVaultInMemory) {
    HostState nothing_loaded(path_);
    const auto loaded = loaded_vault(nothing_loaded);
    ASSERT_FALSE(loaded.has_value());
    EXPECT_EQ(loaded.error(), "kein Tresor geladen");
    EXPECT_EQ(nothing_loaded.change_vault([](VaultFile&) { return Status{}; }).error(),
              "Tresor ist gesperrt");
    EXPECT_EQ(read_file(path_), OLD);
    EXPECT_FALSE(fs::exists(temporary_));
}

TEST_F(SaveVault, ReplacesASymbolicLinkAndLeavesItsTarget) {
    // The file read stays what the path leads to, now through a link.
    const std::string target = dir_.file("target");
    fs::rename(path_, target);
    fs::create_symlink(target, path_);
    ASSERT_TRUE(save().has_value());
    EXPECT_FALSE(fs::is_symlink(path_));
    EXPECT_EQ(read_file(path_), serialize_vault(vault_));
    EXPECT_EQ(read_file(target), OLD);
}

TEST_F(SaveVault, OverwritesAStaleTemporaryFileCompletely) {
    write_file(temporary_, std::string(10000, 'x'));
    ASSERT_EQ(::chmod(temporary_.c_str(), 0666), 0);
    ASSERT_TRUE(save().has_value());
    EXPECT_EQ(read_file(path_), serialize_vault(vault_));
    EXPECT_EQ(mode_of(path_), 0600u);
}

struct BlockedTemporary {
    const char* name;
    std::function<void(const std::string& temporary)> block;
    std::string error;
};

class TemporaryNotWritable : public SaveVault,
                             public testing::WithParamInterface<BlockedTemporary> {};

TEST_P(TemporaryNotWritable, FailsWithoutTouchingTheVault) {
    GetParam().block(temporary_);
    expect_failure(GetParam().error);
    EXPECT_EQ(read_file(path_), OLD);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, TemporaryNotWritable,
    testing::Values(
        BlockedTemporary{"Directory", [](const std::string& path) { fs::create_directory(path); },
                         "Schreiben fehlgeschlagen: Is a directory (os error 21)"},
        // Without a reader, opening a FIFO for writing fails at once instead of hanging.
        BlockedTemporary{
            "FifoWithoutReader",
            [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
            "Schreiben fehlgeschlagen: No such device or address (os error 6)"}),
    testing_support::CaseName{});

// The link is refused, not written through.
TEST_F(SaveVault, RefusesASymbolicLinkAtTheTemporaryPath) {
    write_file(dir_.file("elsewhere"), "untouched");
    fs::create_symlink(dir_.file("elsewhere"), temporary_);
    expect_failure("Schreiben fehlgeschlagen: Too many levels of symbolic links (os error 40)");
    EXPECT_EQ(read_file(dir_.file("elsewhere")), "untouched");
    EXPECT_EQ(read_file(path_), OLD);
}

struct UnreachableDirectory {
    const char* name;
    const char* vault;  // below the test directory
    std::string error;
};

class DirectoryNotUsable : public testing::TestWithParam<UnreachableDirectory> {};

TEST_P(DirectoryNotUsable, FailsAndLeavesNoTemporaryFile) {
    TempDir dir;
    write_file(dir.file("plain"), "a regular file");
    const Status saved = save_new(dir.file(GetParam().vault), sample_vault());
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), GetParam().error);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(read_file(dir.file("plain")), "a regular file");
}

INSTANTIATE_TEST_SUITE_P(
    Causes, DirectoryNotUsable,
    testing::Values(
        UnreachableDirectory{"MissingParent", "missing/tresor.json",
                             "Schreiben fehlgeschlagen: No such file or directory (os error 2)"},
        UnreachableDirectory{"ParentIsAFile", "plain/tresor.json",
                             "Schreiben fehlgeschlagen: Not a directory (os error 20)"},
        UnreachableDirectory{"NoFileName", "",
                             "Schreiben fehlgeschlagen: Is a directory (os error 21)"}),
    testing_support::CaseName{});

// A directory in place of the vault file no longer reaches the rename: it is not the file the
// host read, and it does not read as a vault. (Failing renames: replace_file_test.cpp and the
// immutable vault file in e2e/reliability_save_faults_test.cpp.)
TEST_F(SaveVault, DirectoryInPlaceOfTheVaultIsRefusedAndTheNextSaveWritesTheChange) {
    fs::remove(path_);
    fs::create_directory(path_);
    write_file(path_ + "/inside", OLD);
    expect_failure(
        "Tresordatei inzwischen geändert, nichts gespeichert: Tresor nicht lesbar: Is a "
        "directory (os error 21)");
    EXPECT_EQ(read_file(path_ + "/inside"), OLD);
    // Refused before the first byte: the temporary file is empty, already private.
    EXPECT_EQ(read_file(temporary_), "");
    EXPECT_EQ(mode_of(temporary_), 0600u);

    fs::remove_all(path_);
    ASSERT_TRUE(save().has_value());
    EXPECT_EQ(read_file(path_), serialize_vault(vault_));
}

// --- saving onto a file another program has changed ------------------------------------

// The vault the host read: a recovery record and one entry sealed with the test key.
VaultFile read_vault() {
    VaultFile vault = sample_vault({sealed_entry(KEY, "e1")});
    vault.recovery = sample_recovery("Y29kZQ==");
    return vault;
}

const VaultChange ADD_MINE = [](VaultFile& vault) -> Status {
    vault.entries.push_back(placeholder_entry("mine"));
    return {};
};

struct NewerFile {
    const char* name;
    // What another program leaves at the path; nullopt removes the file.
    std::function<std::optional<std::string>()> content;
    std::string error;  // empty: the save succeeds
    // On success, what the file then holds (memory holds the same).
    std::function<VaultFile()> written = nullptr;  // nullptr: the vault in memory, whole
    const VaultChange* change = &ADD_MINE;
};

class SaveOntoNewerFile : public testing::TestWithParam<NewerFile> {};

// The host read read_vault(), made an earlier change whose save failed (entry "unsaved"), then
// ADD_MINE; meanwhile another program renamed its file over the path.
TEST_P(SaveOntoNewerFile, TakesTheChangeOrLeavesTheFileAlone) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    write_file(path, serialize_vault(read_vault()));
    auto loaded = load_vault(path);
    ASSERT_TRUE(loaded.has_value()) << loaded.error();
    VaultFile memory = std::move(loaded->vault);
    std::optional<FileVersion> version = std::move(loaded->version);
    memory.entries.push_back(placeholder_entry("unsaved"));
    ASSERT_TRUE(ADD_MINE(memory).has_value());
    const VaultFile before = memory;

    const auto content = GetParam().content();
    if (content) {
        write_file(dir.file("elsewhere"), *content);
        fs::rename(dir.file("elsewhere"), path);
    } else {
        fs::remove(path);
    }
    const Status saved = save_vault(path, memory, version, KEY, *GetParam().change);

    if (!GetParam().error.empty()) {
        ASSERT_FALSE(saved.has_value());
        EXPECT_EQ(saved.error(), GetParam().error);
        EXPECT_EQ(read_file(path), *content);
        EXPECT_EQ(memory, before);
        return;
    }
    ASSERT_TRUE(saved.has_value()) << saved.error();
    const VaultFile expected = GetParam().written ? GetParam().written() : before;
    EXPECT_EQ(memory, expected);
    EXPECT_EQ(read_file(path), serialize_vault(expected));
    EXPECT_EQ(check_file(path, version), FileCheck::unchanged);
}

VaultFile with_theirs_and_mine(VaultFile vault) {
    vault.entries.push_back(sealed_entry(KEY, "theirs"));
    EXPECT_TRUE(ADD_MINE(vault).has_value());
    return vault;
}

VaultFile without_recovery(VaultFile vault) {
    vault.recovery.reset();
    return vault;
}

std::string document(const VaultFile& vault) {
    return serialize_vault(vault);
}

const VaultKey OTHER_KEY = counting_vault_key(0x09);

const VaultChange NO_CHANGE;
const VaultChange REFUSE = [](VaultFile&) -> Status {
    return fail("Eintrag nicht serialisierbar: x");
};
const std::string CHANGED = "Tresordatei inzwischen geändert, nichts gespeichert: ";

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveOntoNewerFile,
    testing::Values(
        // The same vault, told by its recovery record: the change is made on the newer file,
        // and the earlier unsaved one is gone with the copy it was made on.
        NewerFile{"SameRecoveryRecord",
                  [] {
                      VaultFile theirs = read_vault();
                      theirs.entries.push_back(sealed_entry(KEY, "theirs"));
                      return document(theirs);
                  },
                  "", [] { return with_theirs_and_mine(read_vault()); }},
        // Without recovery records, an entry that opens with the key tells it.
        NewerFile{"EntryThatOpens",
                  [] {
                      VaultFile theirs = without_recovery(read_vault());
                      theirs.entries.push_back(sealed_entry(KEY, "theirs"));
                      return document(theirs);
                  },
                  "", [] { return with_theirs_and_mine(without_recovery(read_vault())); }},
        // Written anew with the very bytes read: memory is written whole, unsaved change and all.
        NewerFile{"SameBytes", [] { return document(read_vault()); }, "", nullptr},
        NewerFile{"Removed", [] { return std::nullopt; }, "", nullptr},
        NewerFile{"AnotherVault",
                  [] {
                      VaultFile other = sample_vault();
                      other.recovery = Recovery{other.kdf, Sealed{"b3RoZXI=", "Y29kZQ=="}};
                      other.entries = {sealed_entry(OTHER_KEY, "e1")};
                      return document(other);
                  },
                  CHANGED + "anderer Tresor"},
        NewerFile{"HalfWritten", [] { return document(read_vault()).substr(0, 40); },
                  CHANGED + "Tresor beschädigt: syntax error while parsing value - invalid string: "
                            "missing closing quote at line 1 column 40"},
        // A new vault (create) has no change to make again: any file found is refused.
        NewerFile{"NoChangeToMakeAgain",
                  [] {
                      VaultFile theirs = read_vault();
                      theirs.entries.push_back(sealed_entry(KEY, "theirs"));
                      return document(theirs);
                  },
                  CHANGED + "anderer Tresor", nullptr, &NO_CHANGE},
        NewerFile{"ChangeFailsOnTheNewerFile",
                  [] {
                      VaultFile theirs = read_vault();
                      theirs.entries.push_back(sealed_entry(KEY, "theirs"));
                      return document(theirs);
                  },
                  "Eintrag nicht serialisierbar: x", nullptr, &REFUSE}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron

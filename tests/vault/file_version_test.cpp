#include "vault/file_version.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/case_name.hpp"
#include "support/sample_vault.hpp"
#include "support/temp_dir.hpp"
#include "vault/storage.hpp"
#include "vault/vault_json.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::write_file;

std::string vault_document(const std::string& entry_id) {
    return serialize_vault(
        testing_support::sample_vault({testing_support::placeholder_entry(entry_id)}));
}

struct Change {
    const char* name;
    std::function<void(const std::string& path, const TempDir& dir)> make;
    FileCheck seen;
};

class CheckFile : public testing::TestWithParam<Change> {};

// What another program does to the file right after the host read it.
TEST_P(CheckFile, TellsWhatBecameOfTheVersionRead) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    write_file(path, vault_document("e1"));
    auto loaded = load_vault(path);
    ASSERT_TRUE(loaded.has_value()) << loaded.error();
    const std::optional<FileVersion> held = std::move(loaded->version);
    GetParam().make(path, dir);
    EXPECT_EQ(check_file(path, held), GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CheckFile,
    testing::Values(
        Change{"RenamedOverWithOtherBytes",
               [](const std::string& path, const TempDir& dir) {
                   write_file(dir.file("new"), vault_document("e2"));
                   fs::rename(dir.file("new"), path);
               },
               FileCheck::changed},
        // Same size, written in place at once: the times may not have moved on, the bytes did.
        Change{
            "RewrittenInPlaceWithTheSameSize",
            [](const std::string& path, const TempDir&) { write_file(path, vault_document("e2")); },
            FileCheck::changed},
        Change{"ModeChanged",
               [](const std::string& path, const TempDir&) {
                   fs::permissions(path, fs::perms::owner_read);
               },
               FileCheck::changed},
        Change{"Removed", [](const std::string& path, const TempDir&) { fs::remove(path); },
               FileCheck::missing},
        Change{"ReplacedByADirectory",
               [](const std::string& path, const TempDir&) {
                   fs::remove(path);
                   fs::create_directory(path);
               },
               FileCheck::changed}),
    testing_support::CaseName{});

// Within the clock tick of its last change a file may still change in place without its times
// moving on (file systems that stamp coarse times), so a version read then is confirmed by its
// bytes, not by stat.
// A vault file just written, and its stat.
struct WrittenFile {
    WrittenFile() {
        write_file(path, bytes);
        EXPECT_EQ(::stat(path.c_str(), &info), 0);
    }

    // The version a host holds that read the file after the clock showed `clock_before`.
    [[nodiscard]] std::optional<FileVersion> read_at(timespec clock_before) const {
        return FileVersion::read(UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), info,
                                 clock_before, bytes);
    }

    TempDir dir;
    std::string path = dir.file("tresor.json");
    std::string bytes = vault_document("e1");
    struct stat info {};
};

TEST(CheckFile, AVersionReadWithinTheTickOfItsLastChangeNeedsItsBytes) {
    const WrittenFile file;
    const timespec changed = file.info.st_ctim;
    EXPECT_EQ(check_file(file.path, file.read_at(changed)), FileCheck::changed);
    EXPECT_EQ(check_file(file.path, file.read_at({changed.tv_sec - 1, changed.tv_nsec})),
              FileCheck::changed);
    EXPECT_EQ(check_file(file.path, file.read_at({changed.tv_sec + 1, 0})), FileCheck::unchanged);
}

// Another program writes the file in place, bytes of the same size, and moves its modification
// time back: the version is not doubtful and the inode stays, so only the stamp can tell.
TEST(CheckFile, AnInPlaceOverwriteOfTheSameSizeIsSeen) {
    const WrittenFile file;
    const auto held = file.read_at({file.info.st_ctim.tv_sec + 1, 0});
    ASSERT_EQ(check_file(file.path, held), FileCheck::unchanged);

    const std::string other = vault_document("e2");
    ASSERT_EQ(other.size(), file.bytes.size());
    const UniqueFd out(::open(file.path.c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_EQ(::pwrite(out.get(), other.data(), other.size(), 0),
              static_cast<ssize_t>(other.size()));
    const timespec moved = {file.info.st_mtim.tv_sec - 60, file.info.st_mtim.tv_nsec};
    const timespec times[2] = {{0, UTIME_OMIT}, moved};
    ASSERT_EQ(::futimens(out.get(), times), 0);
    EXPECT_EQ(check_file(file.path, held), FileCheck::changed);
}

TEST(CheckFile, WithoutAVersionAnyFileIsAnotherOne) {
    TempDir dir;
    const std::string path = dir.file("tresor.json");
    EXPECT_EQ(check_file(path, std::nullopt), FileCheck::missing);
    write_file(path, vault_document("e1"));
    EXPECT_EQ(check_file(path, std::nullopt), FileCheck::changed);
}

}  // namespace
}  // namespace velkaron

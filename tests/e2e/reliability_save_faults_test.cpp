// Saves that fail for real reasons, through the binary: the message is exact, the vault file
// keeps its bytes, the change stays in memory, and the next save that works writes it.
// Faults that cannot be brought about for real (a failing fsync or fchmod, a write that
// accepts nothing) are provoked through the save's seam in tests/vault/replace_file_test.cpp.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/case_name.hpp"
#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

using testing_support::HostProcess;
using testing_support::Logins;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

struct Scene {
    std::string vault;
    std::string temporary;
    pid_t host;
};

// Sets or clears the immutable attribute, which stops even root from replacing the file.
bool set_immutable(const std::string& path, bool immutable) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

bool limit_file_size(pid_t pid, rlim_t bytes) {
    rlimit limit{};
    if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0) return false;
    limit.rlim_cur = bytes;
    return ::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

struct SaveFault {
    const char* name;
    // Makes every save fail until `remove`; false where this system cannot.
    bool (*provoke)(const Scene&);
    void (*remove)(const Scene&);
    std::string message;
};

class FailedSave : public testing::TestWithParam<SaveFault> {};

std::string request(const std::string& op, const std::string& members) {
    return R"({"id":1,"op":")" + op + "\"," + members + "}";
}

std::string put(const std::string& id) {
    return request("put", R"("host":"h","password":"pw-)" + id + R"(","entry_id":")" + id + "\"");
}

std::string reveal(const std::string& id) {
    return request("reveal", R"("entry_id":")" + id + "\"");
}

std::string revealed(const std::string& id) {
    return R"({"id":1,"ok":true,"data":{"host":"h","id":")" + id + R"(","password":"pw-)" + id +
           R"(","title":"","username":""}})";
}

TEST_P(FailedSave, KeepsTheFileAndTheChangeUntilASaveWorks) {
    TempDir dir;
    const Scene scene{dir.file("tresor.json"), dir.file("tresor.tmp"), 0};
    testing_support::create_small_vault(scene.vault);
    HostProcess host({scene.vault});
    const Scene with_host{scene.vault, scene.temporary, host.pid()};
    const std::string failed = R"({"id":1,"ok":false,"error":")" + GetParam().message + "\"}";

    ASSERT_EQ(host.request(request(
                  "unlock", R"("password":")" + std::string(testing_support::PASSWORD) + "\"")),
              R"({"id":1,"ok":true,"data":{"entries":0,"unlocked":true}})");
    ASSERT_EQ(host.request(put("e1")), R"({"id":1,"ok":true,"data":{"id":"e1"}})");
    const std::string before = read_file(scene.vault);

    if (!GetParam().provoke(with_host)) GTEST_SKIP() << "this system cannot provoke the fault";
    EXPECT_EQ(host.request(put("e2")), failed);
    EXPECT_EQ(read_file(scene.vault), before);
    EXPECT_EQ(host.request(reveal("e2")), revealed("e2"));

    EXPECT_EQ(host.request(request("delete", R"("entry_id":"e1")")), failed);
    EXPECT_EQ(read_file(scene.vault), before);
    EXPECT_EQ(host.request(reveal("e1")),
              R"({"id":1,"ok":false,"error":"Eintrag nicht gefunden"})");

    GetParam().remove(with_host);
    ASSERT_EQ(host.request(put("e3")), R"({"id":1,"ok":true,"data":{"id":"e3"}})");
    const auto on_disk = testing_support::open_vault_file(scene.vault);
    ASSERT_TRUE(on_disk.has_value()) << on_disk.error();
    EXPECT_EQ(*on_disk, (Logins{{"e2", "pw-e2"}, {"e3", "pw-e3"}}));
    EXPECT_EQ(host.wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    RealCauses, FailedSave,
    testing::Values(
        SaveFault{"DirectoryAtTheTemporaryPath",
                  [](const Scene& s) { return std::filesystem::create_directory(s.temporary); },
                  [](const Scene& s) { std::filesystem::remove(s.temporary); },
                  "Schreiben fehlgeschlagen: Is a directory (os error 21)"},
        SaveFault{"ImmutableTemporaryFile",
                  [](const Scene& s) {
                      write_file(s.temporary, "stale");
                      return set_immutable(s.temporary, true);
                  },
                  [](const Scene& s) { set_immutable(s.temporary, false); },
                  "Schreiben fehlgeschlagen: Operation not permitted (os error 1)"},
        // The first write stops short at the limit, the next one fails.
        SaveFault{"FileSizeLimitCutsTheWriteShort",
                  [](const Scene& s) { return limit_file_size(s.host, 100); },
                  [](const Scene& s) { limit_file_size(s.host, RLIM_INFINITY); },
                  "Schreiben fehlgeschlagen: File too large (os error 27)"},
        SaveFault{"ImmutableVaultFile", [](const Scene& s) { return set_immutable(s.vault, true); },
                  [](const Scene& s) { set_immutable(s.vault, false); },
                  "Umbenennen fehlgeschlagen: Operation not permitted (os error 1)"}),
    testing_support::CaseName{});

}  // namespace
}  // namespace velkaron

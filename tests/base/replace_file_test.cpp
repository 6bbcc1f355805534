#include "base/replace_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/case_name.hpp"
#include "support/temp_dir.hpp"
#include "vault/storage.hpp"

namespace velkaron {
namespace {

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

const FileCalls& real = system_file_calls();

// What the injected calls see and record; reset for every test.
struct Injection {
    std::vector<std::string> trace;
    int calls = 0;  // of the one call a case replaces
    std::array<bool, 7> interrupted{};
};
Injection injected;

std::string octal(unsigned mode) {
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, mode, 8).ptr;
    return std::string(text, end);
}

std::string mode_of_fd(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? octal(info.st_mode & 07777) : "unknown";
}

// True the first time call number `index` is made.
bool interrupt_first(std::size_t index) {
    return !std::exchange(injected.interrupted[index], true);
}

int fail_with(int error) {
    errno = error;
    return -1;
}

LockedContents bytes(std::string text) {
    return [text = std::move(text)]() -> Result<std::string> { return text; };
}

class ReplaceFile : public testing::Test {
  protected:
    void SetUp() override {
        injected = Injection{};
        write_file(vault_, OLD);
    }

    static constexpr const char* OLD = "previous vault";
    static constexpr const char* NEW = R"({"version":1,"entries":["a","b","c"]})";
    TempDir dir_;
    std::string vault_ = dir_.file("tresor.json");
    std::string temporary_ = dir_.file("tresor.tmp");
    FileCalls calls_ = real;
};

// Private before the first byte, flushed before the rename, the directory flushed after it.
TEST_F(ReplaceFile, MakesTheCallsInTheSafeOrder) {
    calls_.open = [](const char* path, int flags, mode_t mode) {
        injected.trace.push_back("open " + fs::path(path).filename().string());
        if (!(flags & O_DIRECTORY)) {
            EXPECT_EQ(flags & (O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_TRUNC),
                      O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            EXPECT_EQ(mode, 0600u);
        }
        return real.open(path, flags, mode);
    };
    calls_.flock = [](int fd, int operation) {
        injected.trace.push_back(operation == LOCK_EX   ? "lock"
                                 : operation == LOCK_UN ? "unlock"
                                                        : "other lock");
        return real.flock(fd, operation);
    };
    calls_.fchmod = [](int fd, mode_t mode) {
        injected.trace.push_back("chmod " + octal(mode));
        return real.fchmod(fd, mode);
    };
    calls_.ftruncate = [](int fd, off_t length) {
        injected.trace.push_back("truncate " + std::to_string(length));
        return real.ftruncate(fd, length);
    };
    calls_.write = [](int fd, const void* data, size_t size) {
        injected.trace.push_back("write with mode " + mode_of_fd(fd));
        return real.write(fd, data, size);
    };
    calls_.fsync = [](int fd) {
        injected.trace.push_back("fsync");
        return real.fsync(fd);
    };
    calls_.rename = [](const char* from, const char* to) {
        injected.trace.push_back("rename");
        return real.rename(from, to);
    };
    const LockedContents contents = [] {
        injected.trace.push_back("contents");
        return Result<std::string>(NEW);
    };
    const mode_t previous = ::umask(0);
    const auto replaced = replace_file(vault_, temporary_, contents, calls_);
    ::umask(previous);
    ASSERT_TRUE(replaced.has_value()) << replaced.error();
    const std::vector<std::string> expected{
        "open tresor.tmp", "lock",       "chmod 600",
        "contents",        "truncate 0", "write with mode 600",
        "fsync",           "rename",     "open " + dir_.path().filename().string(),
        "fsync",           "unlock"};
    EXPECT_EQ(injected.trace, expected);
    EXPECT_EQ(read_file(vault_), NEW);
}

struct Fault {
    const char* name;
    void (*inject)(FileCalls& calls);
    std::string error;  // empty: the save succeeds anyway
};

class InjectedFault : public ReplaceFile, public testing::WithParamInterface<Fault> {};

TEST_P(InjectedFault, EitherSucceedsOrLeavesTheVaultAlone) {
    GetParam().inject(calls_);
    const auto replaced = replace_file(vault_, temporary_, bytes(NEW), calls_);
    if (GetParam().error.empty()) {
        ASSERT_TRUE(replaced.has_value()) << replaced.error();
        EXPECT_EQ(read_file(vault_), NEW);
    } else {
        ASSERT_FALSE(replaced.has_value());
        EXPECT_EQ(replaced.error(), GetParam().error);
        EXPECT_EQ(read_file(vault_), OLD);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, InjectedFault,
    testing::Values(
        Fault{"LockFails",
              [](FileCalls& c) { c.flock = [](int, int) { return fail_with(ENOLCK); }; },
              "Schreiben fehlgeschlagen: No locks available (os error 37)"},
        Fault{"ChmodFails",
              [](FileCalls& c) { c.fchmod = [](int, mode_t) { return fail_with(EPERM); }; },
              "Rechte nicht setzbar: Operation not permitted (os error 1)"},
        Fault{"TruncateFails",
              [](FileCalls& c) { c.ftruncate = [](int, off_t) { return fail_with(EIO); }; },
              "Schreiben fehlgeschlagen: Input/output error (os error 5)"},
        Fault{"WriteFails",
              [](FileCalls& c) {
                  c.write = [](int, const void*, size_t) -> ssize_t { return fail_with(ENOSPC); };
              },
              "Schreiben fehlgeschlagen: No space left on device (os error 28)"},
        Fault{"WriteAcceptsNothingAfterAPart",
              [](FileCalls& c) {
                  c.write = [](int fd, const void* data, size_t) -> ssize_t {
                      return ++injected.calls == 1 ? real.write(fd, data, 5) : 0;
                  };
              },
              "Schreiben fehlgeschlagen: failed to write whole buffer"},
        Fault{"FileFlushFails", [](FileCalls& c) { c.fsync = [](int) { return fail_with(EIO); }; },
              "Schreiben fehlgeschlagen: Input/output error (os error 5)"},
        Fault{"RenameFails",
              [](FileCalls& c) {
                  c.rename = [](const char*, const char*) { return fail_with(EXDEV); };
              },
              "Umbenennen fehlgeschlagen: Invalid cross-device link (os error 18)"},
        // A file system that cannot flush this kind of file.
        Fault{"FileFlushUnsupported",
              [](FileCalls& c) { c.fsync = [](int) { return fail_with(EINVAL); }; }, ""},
        // The rename has happened; a failing directory flush cannot undo it.
        Fault{"DirectoryFlushFails",
              [](FileCalls& c) {
                  c.fsync = [](int fd) {
                      return ++injected.calls == 1 ? real.fsync(fd) : fail_with(EIO);
                  };
              },
              ""},
        Fault{"DirectoryNotOpenable",
              [](FileCalls& c) {
                  c.open = [](const char* path, int flags, mode_t mode) {
                      return flags & O_DIRECTORY ? fail_with(EMFILE) : real.open(path, flags, mode);
                  };
              },
              ""},
        Fault{"EveryCallInterruptedOnceAndWritesShort",
              [](FileCalls& c) {
                  c.open = [](const char* path, int flags, mode_t mode) {
                      return interrupt_first(0) ? fail_with(EINTR) : real.open(path, flags, mode);
                  };
                  c.flock = [](int fd, int operation) {
                      return interrupt_first(1) ? fail_with(EINTR) : real.flock(fd, operation);
                  };
                  c.fchmod = [](int fd, mode_t mode) {
                      return interrupt_first(2) ? fail_with(EINTR) : real.fchmod(fd, mode);
                  };
                  c.ftruncate = [](int fd, off_t length) {
                      return interrupt_first(3) ? fail_with(EINTR) : real.ftruncate(fd, length);
                  };
                  c.write = [](int fd, const void* data, size_t size) -> ssize_t {
                      if (interrupt_first(4)) return fail_with(EINTR);
                      return real.write(fd, data, std::min<size_t>(size, 3));
                  };
                  c.fsync = [](int fd) {
                      return interrupt_first(5) ? fail_with(EINTR) : real.fsync(fd);
                  };
                  c.rename = [](const char* from, const char* to) {
                      return interrupt_first(6) ? fail_with(EINTR) : real.rename(from, to);
                  };
              },
              ""}),
    testing_support::CaseName{});

TEST_F(ReplaceFile, FailedPermissionChangeWritesNothing) {
    calls_.fchmod = [](int, mode_t) { return fail_with(EPERM); };
    ASSERT_FALSE(replace_file(vault_, temporary_, bytes(NEW), calls_).has_value());
    EXPECT_EQ(read_file(temporary_), "");
    EXPECT_EQ(read_file(vault_), OLD);
}

// Another saver renames the temporary file onto its vault between our open and our lock:
// that file is now a complete vault and must not be truncated; we start again on a new one.
TEST_F(ReplaceFile, StartsAgainWhenARivalRenamedTheTemporaryFileAway) {
    write_file(temporary_, "rival's complete vault");
    calls_.flock = [](int fd, int operation) {
        if (operation == LOCK_EX && ++injected.calls == 1) {
            const fs::path temporary = fs::read_symlink("/proc/self/fd/" + std::to_string(fd));
            fs::rename(temporary, temporary.parent_path() / "rival.json");
        }
        return real.flock(fd, operation);
    };
    const auto replaced = replace_file(vault_, temporary_, bytes(NEW), calls_);
    ASSERT_TRUE(replaced.has_value()) << replaced.error();
    EXPECT_EQ(injected.calls, 2);
    EXPECT_EQ(read_file(dir_.file("rival.json")), "rival's complete vault");
    EXPECT_EQ(read_file(vault_), NEW);
}

// Whether a fresh open file description can take the lock at once: nobody holds it.
bool lock_is_free(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return free;
}

ino_t inode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_ino;
}

// The descriptor kept as the saved version: the file now at the vault path, already unlocked
// so that a saver waiting for it can go on.
TEST_F(ReplaceFile, GivesBackTheRenamedFileUnlocked) {
    const auto replaced = replace_file(vault_, temporary_, bytes(NEW), calls_);
    ASSERT_TRUE(replaced.has_value()) << replaced.error();
    ASSERT_TRUE(*replaced);
    struct stat kept {};
    ASSERT_EQ(::fstat(replaced->get(), &kept), 0);
    EXPECT_EQ(kept.st_ino, inode_of(vault_));
    EXPECT_TRUE(lock_is_free(vault_));
}

TEST_F(ReplaceFile, ALockThatWillNotBeReleasedIsClosed) {
    calls_.flock = [](int fd, int operation) {
        return operation == LOCK_UN ? fail_with(EIO) : real.flock(fd, operation);
    };
    const auto replaced = replace_file(vault_, temporary_, bytes(NEW), calls_);
    ASSERT_TRUE(replaced.has_value()) << replaced.error();
    EXPECT_FALSE(*replaced);
    EXPECT_EQ(read_file(vault_), NEW);
    EXPECT_TRUE(lock_is_free(vault_));
}

// Contents are asked for under the lock; a refusal ends the save before the first byte, and
// its message is the save's.
TEST_F(ReplaceFile, RefusedContentsWriteNothing) {
    write_file(temporary_, "left by an earlier save");
    const LockedContents refuse = [this]() -> Result<std::string> {
        EXPECT_FALSE(lock_is_free(temporary_));
        return fail("nicht jetzt");
    };
    const auto replaced = replace_file(vault_, temporary_, refuse, calls_);
    ASSERT_FALSE(replaced.has_value());
    EXPECT_EQ(replaced.error(), "nicht jetzt");
    EXPECT_EQ(read_file(vault_), OLD);
    EXPECT_EQ(read_file(temporary_), "left by an earlier save");
    EXPECT_TRUE(lock_is_free(temporary_));
}

// With the extension "tmp" the temporary file must not be the vault itself, or a failed
// write would destroy the vault.
TEST_F(ReplaceFile, FailedWriteNeverTouchesAVaultNamedTmp) {
    const std::string vault = dir_.file("tresor.tmp");
    write_file(vault, OLD);
    calls_.write = [](int, const void*, size_t) -> ssize_t { return fail_with(EIO); };
    ASSERT_FALSE(replace_file(vault, temporary_path(vault), bytes(NEW), calls_).has_value());
    EXPECT_EQ(read_file(vault), OLD);
}

}  // namespace
}  // namespace velkaron

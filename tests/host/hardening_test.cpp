#include "host/hardening.hpp"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "crypto/secret.hpp"
#include "state/host_state.hpp"
#include "support/host_process.hpp"
#include "support/keys_fixture.hpp"
#include "support/small_vault.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

TEST(Hardening, ForbidsCoreFilesAndDumpingAndIgnoresTheFileSizeSignal) {
    // In a child, so that the test binary itself stays debuggable.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        harden_process();
        rlimit core{};
        ::getrlimit(RLIMIT_CORE, &core);
        struct sigaction file_size {};
        ::sigaction(SIGXFSZ, nullptr, &file_size);
        const bool hardened = core.rlim_cur == 0 && core.rlim_max == 0 &&
                              ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 &&
                              file_size.sa_handler == SIG_IGN;
        ::_exit(hardened ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Hardening, TheHostHardensItselfBeforeServing) {
    testing_support::TempDir dir;
    testing_support::HostProcess host({dir.file("v.json")});
    // Once the first response is out, hardening is done.
    (void)host.request(R"({"id":1,"op":"status"})");
    std::ifstream limits("/proc/" + std::to_string(host.pid()) + "/limits");
    std::string line;
    bool found = false;
    while (std::getline(limits, line)) {
        if (line.starts_with("Max core file size")) {
            found = true;
            EXPECT_NE(line.find(" 0 "), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(found);
}

// Memory a process holds locked, in KiB (VmLck of /proc/PID/status).
long locked_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmLck:")) return std::stol(line.substr(6));
    }
    return -1;
}

// The host holds locked memory exactly while it holds the vault key.
TEST(Hardening, TheHostLocksMemoryOnlyWhileUnlocked) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer replaces mlock with a call that locks nothing";
#endif
    testing_support::TempDir dir;
    testing_support::create_small_vault(dir.file("v.json"));
    testing_support::HostProcess host({dir.file("v.json")});
    (void)host.request(R"({"id":1,"op":"status"})");
    EXPECT_EQ(locked_kib(host.pid()), 0);
    ASSERT_EQ(host.request(R"({"id":2,"op":"unlock","password":")" +
                           std::string(testing_support::PASSWORD) + R"("})"),
              R"({"id":2,"ok":true,"data":{"entries":0,"unlocked":true}})");
    EXPECT_GT(locked_kib(host.pid()), 0);
    (void)host.request(R"({"id":3,"op":"lock"})");
    EXPECT_EQ(locked_kib(host.pid()), 0);
}

// The mapping of this process that holds `address`, as /proc/self/smaps describes it.
struct Mapping {
    std::string permissions;  // "rw-p", "---p", ...
    std::string flags;        // VmFlags: "lo" locked in memory, "dd" left out of core dumps
};

std::optional<Mapping> mapping_of(const void* address) {
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    Mapping found;
    while (std::getline(smaps, line)) {
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        char permissions[8] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, permissions) == 3 &&
            line.find(':') > line.find(' ')) {
            if (inside) return found;
            inside = start <= wanted && wanted < end;
            found.permissions = permissions;
        } else if (inside && line.starts_with("VmFlags:")) {
            found.flags = line.substr(8);
            return found;
        }
    }
    return std::nullopt;
}

bool has_flag(const Mapping& mapping, const std::string& flag) {
    std::istringstream words(mapping.flags);
    std::string word;
    while (words >> word) {
        if (word == flag) return true;
    }
    return false;
}

// Reads one byte the compiler cannot drop.
unsigned char touch(const unsigned char* address) {
    return *static_cast<const volatile unsigned char*>(address);
}

// A fault must end a death test's child the way it ends the host, not through a
// sanitizer's report.
void default_fault_handling() {
    std::signal(SIGSEGV, SIG_DFL);
}

TEST(GuardedKey, IsLockedInMemoryAndLeftOutOfCoreDumps) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer replaces mlock with a call that locks nothing";
#endif
    rlimit memlock{};
    ASSERT_EQ(::getrlimit(RLIMIT_MEMLOCK, &memlock), 0);
    if (::geteuid() != 0 && memlock.rlim_cur < 4096) GTEST_SKIP() << "no memory may be locked";
    const VaultKey key;
    const auto mapping = mapping_of(key.data());
    ASSERT_TRUE(mapping.has_value());
    EXPECT_EQ(mapping->permissions, "rw-p");
    EXPECT_TRUE(has_flag(*mapping, "lo")) << mapping->flags;
    EXPECT_TRUE(has_flag(*mapping, "dd")) << mapping->flags;
}

TEST(GuardedKey, EndsAtAnInaccessiblePage) {
    const VaultKey key;
    const auto after = mapping_of(key.data() + VaultKey::size());
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->permissions, "---p");
    EXPECT_EXIT(
        {
            default_fault_handling();
            touch(key.data() + VaultKey::size());
            std::exit(0);
        },
        testing::KilledBySignal(SIGSEGV), "");
}

TEST(GuardedKey, IsGoneFromMemoryOnceTheStateIsLocked) {
    HostState state("unused");
    state.adopt(VaultFile{}, std::nullopt);
    ASSERT_TRUE(state.unlock(VaultKey()).has_value());
    const unsigned char* held = state.key()->data();
    EXPECT_EXIT(
        {
            default_fault_handling();
            state.lock();
            touch(held);
            std::exit(0);
        },
        testing::KilledBySignal(SIGSEGV), "");
}

// Drops the right to lock memory whatever the limit, then allows no locked memory at all.
bool forbid_locking() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    if (::syscall(SYS_capget, &header, caps) != 0) return false;
    caps[CAP_TO_INDEX(CAP_IPC_LOCK)].effective &= ~CAP_TO_MASK(CAP_IPC_LOCK);
    if (::syscall(SYS_capset, &header, caps) != 0) return false;
    const rlimit none{0, 0};
    return ::setrlimit(RLIMIT_MEMLOCK, &none) == 0;
}

// Exit status 0 when a key made without locked memory holds its bytes, is not locked (so
// locking was really refused) and still ends at a guard page.
[[noreturn]] void use_key_without_locking() {
    if (!forbid_locking()) std::exit(10);
    VaultKey key;
    for (std::size_t i = 0; i < key.size(); ++i) key.data()[i] = static_cast<unsigned char>(i);
    const Key32 copy = key.copy();
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (copy.data()[i] != i) std::exit(11);
    }
    const auto mapping = mapping_of(key.data());
    if (!mapping || has_flag(*mapping, "lo")) std::exit(12);
    const auto after = mapping_of(key.data() + key.size());
    if (!after || after->permissions != "---p") std::exit(13);
    std::exit(0);
}

// Locking is best effort: where the system refuses it, the key still works.
TEST(GuardedKey, WorksWhereMemoryCannotBeLocked) {
    EXPECT_EXIT(use_key_without_locking(), testing::ExitedWithCode(0), "");
}

// Whether the page holding `address` is mapped at all.
bool mapped(const void* address) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    void* start = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address) / page * page);
    return ::mincore(start, page, &resident) == 0;
}

// What a dying host calls from its signal handler: every live key's page is freed (libsodium
// wipes it on the way).
TEST(GuardedKey, EveryLiveKeyIsReleasedForADyingProcess) {
    const VaultKey first;
    const VaultKey second;
    ASSERT_TRUE(mapped(first.data()) && mapped(second.data()));
    EXPECT_EXIT(
        {
            release_vault_keys();
            ::_exit(mapped(first.data()) || mapped(second.data()) ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}

class TerminatingSignal : public testing::TestWithParam<int> {};

// Killed while it holds the key, the host dies of that very signal (its handler wiped the
// key first) and the vault file stays whole.
TEST_P(TerminatingSignal, EndsTheUnlockedHostByTheSameSignal) {
    testing_support::TempDir dir;
    const std::string path = dir.file("v.json");
    testing_support::create_small_vault(path);
    testing_support::HostProcess host({path});
    ASSERT_EQ(host.request(R"({"id":1,"op":"unlock","password":")" +
                           std::string(testing_support::PASSWORD) + R"("})"),
              R"({"id":1,"ok":true,"data":{"entries":0,"unlocked":true}})");
    ASSERT_EQ(::kill(host.pid(), GetParam()), 0);
    EXPECT_EQ(host.wait(), 128 + GetParam());
    EXPECT_TRUE(testing_support::open_vault_file(path).has_value());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminatingSignal, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const testing::TestParamInfo<int>& signal) {
                             return std::string(sigabbrev_np(signal.param));
                         });

// Memory that runs out ends the host through its fatal exit, never through an abort.
TEST(Hardening, AnAllocationThatFailsEndsTheHostWithStatus101) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit allows";
#endif
    testing_support::TempDir dir;
    const std::string path = dir.file("v.json");
    testing_support::create_small_vault(path);
    // 150 MB of address space serve the host, but not the 64 MiB buffer a long line needs
    // beside the 32 MiB one it grows from.
    const std::string unlock =
        R"({"id":1,"op":"unlock","password":")" + std::string(testing_support::PASSWORD) + "\"}\n";
    const auto finished = testing_support::run_to_end(
        "/bin/sh", {"-c", "ulimit -v 150000 && exec \"$0\" \"$1\"", VELKARON_BINARY, path},
        unlock + R"({"id":2,"op":"status","x":")" + std::string(60'000'000, 'x') + "\"}\n");
    EXPECT_EQ(finished.status, 101);
    EXPECT_EQ(finished.err, "Error: memory allocation failed\n");
    EXPECT_EQ(
        testing_support::lines_of(finished.out),
        std::vector<std::string>{R"({"id":1,"ok":true,"data":{"entries":0,"unlocked":true}})"});
    EXPECT_TRUE(testing_support::open_vault_file(path).has_value());
}
}  // namespace
}  // namespace velkaron

#include "host/hardening.hpp"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/host_process.hpp"
#include "support/temp_dir.hpp"

namespace velkaron {
namespace {

TEST(Hardening, ForbidsCoreFilesAndDumping) {
    // In a child, so that the test binary itself stays debuggable.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        harden_process();
        rlimit core{};
        ::getrlimit(RLIMIT_CORE, &core);
        const bool hardened = core.rlim_cur == 0 && core.rlim_max == 0 &&
                              ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
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

}  // namespace
}  // namespace velkaron

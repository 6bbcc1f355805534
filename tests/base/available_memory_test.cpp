#include "base/available_memory.hpp"

#include <gtest/gtest.h>

namespace velkaron {
namespace {

TEST(AvailableMemory, ReadsMemAvailableInBytes) {
    constexpr std::string_view meminfo =
        "MemTotal:       24683852 kB\nMemFree:        23706208 kB\n"
        "MemAvailable:   24312664 kB\nBuffers:           1234 kB\n";
    EXPECT_EQ(parse_mem_available(meminfo), std::uint64_t{24312664} * 1024);
    EXPECT_EQ(parse_mem_available("MemTotal:       24683852 kB\n"), std::nullopt);
    EXPECT_EQ(parse_mem_available("MemAvailable:   many kB\n"), std::nullopt);
}

TEST(AvailableMemory, CgroupHeadroomIsLimitLessUse) {
    EXPECT_EQ(cgroup_headroom("1073741824\n", "73741824\n"), std::uint64_t{1000000000});
    EXPECT_EQ(cgroup_headroom("1000\n", "4096\n"), std::uint64_t{0});
    EXPECT_EQ(cgroup_headroom("max\n", "4096\n"), std::nullopt);
}

TEST(AvailableMemory, IsKnownOnLinux) {
    const auto available = available_memory();
    ASSERT_TRUE(available.has_value());
    EXPECT_GT(*available, 0u);
}

}  // namespace
}  // namespace velkaron

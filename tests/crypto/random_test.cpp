#include "crypto/random.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace velkaron {
namespace {

// getentropy refuses more than 256 bytes a call, so this also proves the chunking.
TEST(Random, FillsLongBuffersToTheEnd) {
    const SecretBytes a = random_bytes(600);
    const SecretBytes b = random_bytes(600);
    ASSERT_EQ(a.size(), 600u);
    const auto tail = a.span().subspan(512);
    EXPECT_TRUE(std::any_of(tail.begin(), tail.end(), [](unsigned char c) { return c != 0; }));
    EXPECT_NE(a.view(), b.view());
}

TEST(RandomDeathTest, FailingSourceEndsTheProcess) {
    // An address the kernel cannot write to makes getentropy fail with EFAULT.
    auto* unwritable = reinterpret_cast<unsigned char*>(std::uintptr_t{8});
    EXPECT_EXIT(fill_random({unwritable, 16}), testing::ExitedWithCode(101),
                "^Error: Bad address \\(os error 14\\)");
}

}  // namespace
}  // namespace velkaron

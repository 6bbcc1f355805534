#include "entries/entry_id.hpp"

#include <gtest/gtest.h>

#include "support/entries_fixture.hpp"

namespace velkaron {
namespace {

TEST(EntryId, SetsVersionAndVariantBitsAndGroupsTheHexDigits) {
    std::array<unsigned char, UUID_LEN> zeros{};
    std::array<unsigned char, UUID_LEN> ones{};
    ones.fill(0xff);
    const std::array<unsigned char, UUID_LEN> counting{0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                                       0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb,
                                                       0xcc, 0xdd, 0xee, 0xff};
    EXPECT_EQ(format_uuid_v4(zeros), "00000000-0000-4000-8000-000000000000");
    EXPECT_EQ(format_uuid_v4(ones), "ffffffff-ffff-4fff-bfff-ffffffffffff");
    EXPECT_EQ(format_uuid_v4(counting), "00112233-4455-4677-8899-aabbccddeeff");
}

TEST(EntryId, NewIdsAreRandomVersionFourUuids) {
    const std::string first = new_entry_id();
    EXPECT_TRUE(testing_support::is_uuid_v4(first)) << first;
    EXPECT_NE(first, new_entry_id());
}

}  // namespace
}  // namespace velkaron

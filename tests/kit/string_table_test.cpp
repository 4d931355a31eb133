#include "pixmill/string_table.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace pixmill;

namespace {
const StringEntry kEntries[] = {{1, "Resample"}, {7, "&Rotate"}, {9, ""}};
const StringTable kTable{kEntries};
} // namespace

TEST(StringTable, LookupFindsTextOrGivesEmpty) {
    EXPECT_STREQ(LookupString(kTable, 7), "&Rotate");
    EXPECT_STREQ(LookupString(kTable, 9), "");
    EXPECT_STREQ(LookupString(kTable, 2), "");
    EXPECT_STREQ(LookupString(StringTable{}, 1), "");
}

TEST(StringTable, LoadCutsToCapacityAndAlwaysTerminates) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    LoadString(kTable, 1, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Resample");

    std::memset(buffer, 'x', sizeof buffer);
    LoadString(kTable, 1, buffer, 4);
    EXPECT_STREQ(buffer, "Res");
    EXPECT_EQ(buffer[4], 'x'); // nothing written past the capacity

    LoadString(kTable, 1, buffer, 1);
    EXPECT_STREQ(buffer, "");

    std::memset(buffer, 'x', sizeof buffer);
    LoadString(kTable, 42, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");

    std::memset(buffer, 'x', sizeof buffer);
    LoadString(kTable, 1, buffer, 0);
    EXPECT_EQ(buffer[0], 'x');
}

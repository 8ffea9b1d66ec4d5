// Reading the MTU box as a number, comparing it exactly and rounding it.

#include <gtest/gtest.h>

#include "settings/MtuNumber.h"

namespace quillon::test {
namespace {

using settings::Compare;
using settings::ReadAsNumber;
using settings::RoundToInt32;

TEST(MtuNumber, WhatReadsAsANumber) {
    for (const char* text : {"0", "0088", "88.5", "1500", ".5", "88.", "00.00", "4294967296"}) {
        EXPECT_TRUE(ReadAsNumber(text).has_value()) << text;
    }
    for (const char* text :
         {"", ".", " 88", "88 ", "-1", "+1", "1e3", "&H58", "abc", "1.2.3", "8,8", "\t1"}) {
        EXPECT_FALSE(ReadAsNumber(text).has_value()) << '"' << text << '"';
    }
}

TEST(MtuNumber, ComparesExactlyAroundTheBounds) {
    const auto cmp = [](const char* text, std::uint32_t n) { return Compare(*ReadAsNumber(text), n); };
    EXPECT_EQ(cmp("87", 87), 0);
    EXPECT_GT(cmp("87.5", 87), 0);
    EXPECT_LT(cmp("87.5", 88), 0);
    EXPECT_EQ(cmp("0088", 88), 0);
    EXPECT_EQ(cmp("88.000", 88), 0);
    EXPECT_GT(cmp("1500.0000000000001", 1500), 0);
    EXPECT_LT(cmp("999", 1500), 0);
    EXPECT_GT(cmp("10000", 1500), 0);
    EXPECT_EQ(cmp("0", 0), 0);
    EXPECT_GT(cmp(".1", 0), 0);
}

TEST(MtuNumber, RoundsToNearestTiesToEven) {
    const auto round = [](const char* text) { return RoundToInt32(*ReadAsNumber(text)); };
    EXPECT_EQ(round("88.5"), 88);
    EXPECT_EQ(round("89.5"), 90);
    EXPECT_EQ(round("88.50001"), 89);
    EXPECT_EQ(round("88.49999"), 88);
    EXPECT_EQ(round("0.5"), 0);
    EXPECT_EQ(round("1400"), 1400);
    EXPECT_EQ(round("2147483647"), 2147483647);
    EXPECT_EQ(round("2147483647.5"), std::nullopt);
    EXPECT_EQ(round("2147483648"), std::nullopt);
    EXPECT_EQ(round("99999999999"), std::nullopt);
}

}  // namespace
}  // namespace quillon::test

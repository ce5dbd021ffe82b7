#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "text/HexDigits.h"

namespace qv {
namespace {

TEST(ParseHexDigits, DigitsOfBothCases) {
    EXPECT_EQ(ParseHexDigits("0123", 4), 0x0123u);
    EXPECT_EQ(ParseHexDigits("89AB", 4), 0x89ABu);
    EXPECT_EQ(ParseHexDigits("cdef", 4), 0xCDEFu);
    EXPECT_EQ(ParseHexDigits("aBcD", 4), 0xABCDu);
    EXPECT_EQ(ParseHexDigits("FFFFFFFF", 8), 0xFFFFFFFFu);
}

TEST(ParseHexDigits, NulCountsAsZero) {
    const char chars[2] = {'5', '\0'};
    EXPECT_EQ(ParseHexDigits(chars, 2), 0x50u);
}

TEST(ParseHexDigits, OtherCharactersCountAsZero) {
    EXPECT_EQ(ParseHexDigits("G1", 2), 0x01u);
    EXPECT_EQ(ParseHexDigits("1 ", 2), 0x10u);
    EXPECT_EQ(ParseHexDigits("\r\n", 2), 0x00u);
    EXPECT_EQ(ParseHexDigits("1g2", 3), 0x102u);
    EXPECT_EQ(ParseHexDigits(":1", 2), 0x01u);
    EXPECT_EQ(ParseHexDigits("\xff"
                             "A",
                             2),
              0x0Au);
}

TEST(ParseHexDigits, CountZeroGivesZero) {
    EXPECT_EQ(ParseHexDigits("FF", 0), 0u);
}

TEST(ParseHexDigits, ReadsExactlyCountCharacters) {
    // Characters past `count` must not influence the value (and, under ASan, are never read:
    // the buffer holds exactly `count` characters without a terminator).
    EXPECT_EQ(ParseHexDigits("12FF", 2), 0x12u);
    auto exact = std::make_unique<char[]>(3);
    std::memcpy(exact.get(), "ABC", 3);
    EXPECT_EQ(ParseHexDigits(exact.get(), 3), 0xABCu);
}

TEST(ParseHexDigits, MoreThanEightDigitsKeepsTheLow32Bits) {
    EXPECT_EQ(ParseHexDigits("123456789", 9), 0x23456789u);
}

}  // namespace
}  // namespace qv

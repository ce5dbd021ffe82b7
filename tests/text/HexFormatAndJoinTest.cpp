// The one hexadecimal formatter and the one list join every message uses.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "text/HexFormat.h"
#include "text/Joined.h"
#include "text/LetterCase.h"

namespace qv {
namespace {

TEST(HexText, PadsToTheWidthAndNeverHidesADigit) {
    const struct {
        std::uint32_t value;
        int digits;
        HexCase letters;
        const char* text;
    } cases[] = {
        {0x0A, 2, HexCase::kUpper, "0A"},
        {0xAB, 2, HexCase::kLower, "ab"},
        {0x5A00, 6, HexCase::kUpper, "005A00"},
        {0x1234, 2, HexCase::kUpper, "1234"},
        {0, 2, HexCase::kUpper, "00"},
        {0xFFFFFFFF, 8, HexCase::kUpper, "FFFFFFFF"},
        {0xC0FFEE, 0, HexCase::kLower, "c0ffee"},
    };
    for (const auto& c : cases) EXPECT_EQ(HexText(c.value, c.digits, c.letters), c.text);

    const std::array<std::uint8_t, 4> bytes{0x00, 0x9F, 0xA5, 0xFF};
    std::string text = "x";
    AppendHexBytes(text, bytes.data(), bytes.size());
    EXPECT_EQ(text, "x009FA5FF");
    AppendHexBytes(text, bytes.data() + 2, 1, HexCase::kLower);
    EXPECT_EQ(text, "x009FA5FFa5");
}

TEST(Joined, SeparatorOnlyBetweenItemsEvenAroundEmptyOnes) {
    EXPECT_EQ(Joined(std::vector<std::string>{}, ", "), "");
    EXPECT_EQ(Joined(std::vector<std::string>{"a"}, ", "), "a");
    EXPECT_EQ(Joined(std::vector<std::string>{"", "b", ""}, ", "), ", b, ");
    EXPECT_EQ(Joined(std::vector<int>{1, 2, 3}, "; ", [](int n) { return std::to_string(n); }),
              "1; 2; 3");
    EXPECT_EQ(Lower("VID_A7D6&Pid_F017"), "vid_a7d6&pid_f017");
}

TEST(LetterCase, SameLettersFoldsOnlyAsciiLetters) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"Tesmora_K2DAC_v11.HEX", "tesmora_k2dac_V11.hex", true},
        {"", "", true},
        {"abc", "abcd", false},           // a prefix is not the same name
        {"[", "{", false},                // 0x5B and 0x7B differ by the case bit but are no letters
        {"\xC3\x89", "\xC3\xA9", false},  // UTF-8 letters are left as they are
    };
    for (const auto& c : cases) EXPECT_EQ(SameLetters(c.a, c.b), c.same) << c.a << " / " << c.b;
}

}  // namespace
}  // namespace qv

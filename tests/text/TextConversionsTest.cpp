#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "text/TypedNumber.h"
#include "text/Windows1252.h"

namespace qv {
namespace {

TEST(TypedNumber, DigitsOnlyAndWithinRange) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> hex, decimal;  // decimal at most 2147483647
    };
    const Case cases[] = {
        {"0", 0u, 0u},
        {"fF", 0xFFu, std::nullopt},
        {"FFFFFFFF", 0xFFFFFFFFu, std::nullopt},
        {"0000000000000012", 0x12u, 12u},  // leading zeros never overflow
        {"100000000", std::nullopt, 100000000u},
        {"2147483647", std::nullopt, 2147483647u},
        {"2147483648", std::nullopt, std::nullopt},
        {"99999999999", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"0x1", std::nullopt, std::nullopt},
        {"+1", std::nullopt, std::nullopt},
        {"-1", std::nullopt, std::nullopt},
        {" 1", std::nullopt, std::nullopt},
        {"1 ", std::nullopt, std::nullopt},
        {"\xEF\xBC\x91", std::nullopt, std::nullopt},  // a full-width digit one
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HexDigitsValue(c.text), c.hex) << c.text;
        EXPECT_EQ(DecimalDigitsValue(c.text, 0x7FFFFFFF), c.decimal) << c.text;
    }
    EXPECT_EQ(DecimalDigitsValue("4294967295", 0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(Windows1252, Utf8TextAsDeviceBytes) {
    struct Case {
        const char* text;
        std::optional<std::vector<std::uint8_t>> bytes;
        std::string refused;
    };
    const Case cases[] = {
        {"A\xE2\x82\xAC\xC5\xB8\xC3\xBF", std::vector<std::uint8_t>{0x41, 0x80, 0x9F, 0xFF}, ""},
        {"\xC2\xA0\xE2\x84\xA2", std::vector<std::uint8_t>{0xA0, 0x99}, ""},
        {"", std::vector<std::uint8_t>{}, ""},
        {"a\xC2\x81", std::nullopt, "\xC2\x81"},                  // a C1 control has no code
        {"\xF0\x9F\x98\x80!", std::nullopt, "\xF0\x9F\x98\x80"},  // beyond the basic plane
        {"\xEF\xBF\xBD", std::nullopt, "\xEF\xBF\xBD"},
        {"\xC0\xAF", std::nullopt, ""},          // overlong
        {"\xED\xA0\x80", std::nullopt, ""},      // a surrogate half
        {"\xF4\x90\x80\x80", std::nullopt, ""},  // beyond Unicode
        {"\xE2\x82", std::nullopt, ""},          // cut short
        {"\x80", std::nullopt, ""},              // a lone continuation byte
    };
    using Reason = Windows1252Refusal::Reason;
    for (const Case& c : cases) {
        const auto bytes = EncodeUtf8AsWindows1252(c.text);
        ASSERT_EQ(bytes.ok(), c.bytes.has_value()) << c.text;
        if (bytes.ok()) {
            EXPECT_EQ(*bytes, *c.bytes) << c.text;
        } else {
            const Reason reason =
                c.refused.empty() ? Reason::kInvalidUtf8 : Reason::kNoSuchCharacter;
            EXPECT_EQ(bytes.problem(), (Windows1252Refusal{reason, c.refused})) << c.text;
        }
    }
}

TEST(Windows1252, EveryCodeBelowTheC1BlockAndAboveIsItsOwnCharacter) {
    for (char32_t code = 0; code < 0x100; ++code) {
        const bool c1 = code >= 0x80 && code < 0xA0;
        EXPECT_EQ(Windows1252Byte(code).has_value(), !c1) << static_cast<unsigned>(code);
    }
    EXPECT_EQ(Windows1252Byte(U'\u20AC'), 0x80);
    EXPECT_EQ(Windows1252Byte(U'\u0178'), 0x9F);
    EXPECT_FALSE(Windows1252Byte(0xD800));
    EXPECT_FALSE(Windows1252Byte(0x110000));
}

}  // namespace
}  // namespace qv

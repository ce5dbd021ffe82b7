#include <gtest/gtest.h>

#include "catalog/FlashParts.h"

namespace qv {
namespace {

struct SizeCase {
    FlashId id;
    std::optional<std::uint32_t> size;
    std::optional<std::uint64_t> maxChipEraseMicros;
};

// Known parts take the table's figures. Others are not sized on a guess: the capacity byte
// means different sizes to different makers; their erase may take as long as the largest
// flash's.
TEST(FlashPartsTest, SizeAndEraseDeadlineFollowTheTable) {
    const SizeCase cases[] = {
        {{0xEF, 0x40, 0x15}, 2u << 20, 25'000'000},
        {{0xEF, 0x40, 0x16}, 4u << 20, 50'000'000},
        {{0xC2, 0x22, 0x14}, 1u << 20, 12'500'000},
        {{0xC2, 0x20, 0x12}, 256u << 10, 3'125'000},
        {{0x20, 0xBA, 0x18}, std::nullopt, 200'000'000},  // not in the table
        {{0x20, 0xBA, 0x10}, std::nullopt, 200'000'000},
        {{0xFF, 0xFF, 0xFF}, std::nullopt, 200'000'000},  // nothing answered
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.id));
        EXPECT_EQ(FlashSizeForId(c.id), c.size);
        EXPECT_EQ(MaxChipEraseMicros(FindFlashPart(c.id)), c.maxChipEraseMicros);
    }
}

TEST(FlashPartsTest, ProtectBitsSitFromStatusBitTwoUp) {
    const std::pair<FlashId, std::uint8_t> cases[] = {
        {{0xC2, 0x20, 0x12}, 0x0C}, {{0xEF, 0x40, 0x15}, 0x1C}, {{0xC2, 0x20, 0x15}, 0x3C}};
    for (const auto& [id, mask] : cases) {
        SCOPED_TRACE(testing::PrintToString(id));
        ASSERT_NE(FindFlashPart(id), nullptr);
        EXPECT_EQ(ProtectMask(*FindFlashPart(id)), mask);
    }
}

TEST(FlashPartsTest, EveryRowIsConsistent) {
    for (const FlashPart& part : FlashParts()) {
        SCOPED_TRACE(testing::PrintToString(part.id));
        EXPECT_EQ(FindFlashPart(part.id), &part);
        EXPECT_EQ(part.size & (part.size - 1), 0u);
        EXPECT_EQ(part.size % 4096, 0u);
        EXPECT_GE(part.protectBits, 2u);
        EXPECT_LE(part.protectBits, 4u);
        for (const FlashTime& time :
             {part.pageProgram, part.sectorErase, part.statusWrite, part.chipErase}) {
            EXPECT_GT(time.typicalMicros, 0u);
            EXPECT_GE(time.maximumMicros, time.typicalMicros);
        }
    }
}

// The host programs in blocks of 32 bytes for an id starting C2 22 and of 256 otherwise; a
// block must never cross a page, so every row's page size has to be that block size.
TEST(FlashPartsTest, EveryPageSizeIsTheHostsProgramBlock) {
    for (const FlashPart& part : FlashParts()) {
        SCOPED_TRACE(testing::PrintToString(part.id));
        const bool smallPage = part.id[0] == 0xC2 && part.id[1] == 0x22;
        EXPECT_EQ(part.pageSize, smallPage ? 32u : 256u);
    }
}

}  // namespace
}  // namespace qv

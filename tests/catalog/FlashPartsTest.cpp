#include <gtest/gtest.h>

#include "catalog/FlashParts.h"

namespace qv {
namespace {

struct SizeCase {
    FlashId id;
    std::optional<std::uint32_t> size;
    std::optional<std::uint64_t> maxChipEraseMicros;
};

// Known parts take the table's figures; others follow their capacity byte in proportion.
TEST(FlashPartsTest, SizeAndEraseDeadlineFollowTheId) {
    const SizeCase cases[] = {
        {{0xEF, 0x40, 0x15}, 2u << 20, 25'000'000},
        {{0xEF, 0x40, 0x16}, 4u << 20, 50'000'000},
        {{0xC2, 0x22, 0x14}, 1u << 20, 12'500'000},
        {{0x20, 0xBA, 0x18}, 16u << 20, 200'000'000},  // not in the table
        {{0x20, 0xBA, 0x10}, 64u << 10, 781'250},
        {{0xFF, 0xFF, 0xFF}, std::nullopt, std::nullopt},  // nothing answered
        {{0x00, 0x00, 0x0F}, std::nullopt, std::nullopt},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.id));
        EXPECT_EQ(FlashSizeForId(c.id), c.size);
        EXPECT_EQ(MaxChipEraseMicros(c.id), c.maxChipEraseMicros);
    }
}

TEST(FlashPartsTest, EveryRowIsConsistent) {
    for (const FlashPart& part : FlashParts()) {
        SCOPED_TRACE(testing::PrintToString(part.id));
        EXPECT_EQ(FindFlashPart(part.id), &part);
        EXPECT_EQ(part.size & (part.size - 1), 0u);
        EXPECT_EQ(part.size % 4096, 0u);
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

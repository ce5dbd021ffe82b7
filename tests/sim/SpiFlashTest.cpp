#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "sim/SpiFlash.h"

namespace qv::sim {
namespace {

struct SpiFlashTest : ::testing::Test {
    VirtualClock clock;
    SpiFlash flash{clock, PresetConfig(FlashPreset::kCommon2MiB)};

    // One instruction with the chip select held for all of `bytes`; returns what came back.
    std::vector<std::uint8_t> Transact(std::initializer_list<std::uint8_t> bytes,
                                       std::size_t readCount = 0) {
        std::vector<std::uint8_t> miso;
        flash.Select();
        for (auto b : bytes) flash.Exchange(b);
        for (std::size_t i = 0; i < readCount; ++i) miso.push_back(flash.Exchange(0xFF));
        flash.Deselect();
        return miso;
    }
    void Program(std::uint32_t address, const std::vector<std::uint8_t>& data) {
        Transact({0x06});
        flash.Select();
        for (auto b : {std::uint8_t{0x02}, std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                       std::uint8_t(address)}) {
            flash.Exchange(b);
        }
        for (auto b : data) flash.Exchange(b);
        flash.Deselect();
    }
    void WaitMs(std::uint64_t ms) { clock.SleepMicros(ms * 1000); }
};

TEST_F(SpiFlashTest, AnswersIdStatusAndReadsAcrossPages) {
    EXPECT_EQ(Transact({0x9F}, 3), (std::vector<std::uint8_t>{0xEF, 0x40, 0x15}));
    EXPECT_EQ(Transact({0x05}, 2), (std::vector<std::uint8_t>{0x00, 0x00}));
    flash.Preload(0x0FF, {0x12, 0x34});
    EXPECT_EQ(Transact({0x03, 0x00, 0x00, 0xFF}, 2), (std::vector<std::uint8_t>{0x12, 0x34}));
}

TEST_F(SpiFlashTest, ProgramOnlyClearsBitsAndNeedsTheLatch) {
    flash.Preload(0x100, {0x0F});
    Program(0x100, {0xF0, 0x00});
    WaitMs(1);
    EXPECT_EQ(flash.Contents()[0x100], 0x00);
    Program(0x101, {0xFF});  // cannot set bits again
    WaitMs(1);
    EXPECT_EQ(flash.Contents()[0x101], 0x00);

    Transact({0x02, 0x00, 0x02, 0x00, 0x00});  // no write enable: ignored
    EXPECT_EQ(flash.Contents()[0x200], 0xFF);
    EXPECT_FALSE(flash.Busy());
}

TEST_F(SpiFlashTest, ProgramWrapsInsideItsPage) {
    std::vector<std::uint8_t> data(20);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    Program(0x1F0, data);
    EXPECT_EQ(flash.Contents()[0x1FF], 15);
    EXPECT_EQ(flash.Contents()[0x100], 16);
    EXPECT_EQ(flash.Contents()[0x200], 0xFF);  // the next page is untouched
}

TEST_F(SpiFlashTest, BusyForTheCycleThenLatchClearedAfterProgramAndErase) {
    Program(0, {0x00});
    EXPECT_EQ(flash.Status() & 0x03, 0x03);
    clock.SleepMicros(699);
    EXPECT_TRUE(flash.Busy());
    clock.SleepMicros(1);
    EXPECT_EQ(flash.Status(), 0x00);

    flash.Preload(0x1000, {0x00});
    Transact({0x06});
    Transact({0x20, 0x00, 0x00, 0x00});
    EXPECT_EQ(flash.Contents()[0], 0xFF);
    // Instructions other than "read status" are ignored while the erase runs.
    Transact({0x06});
    Transact({0x04});
    Transact({0x02, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(Transact({0x03, 0x00, 0x10, 0x00}, 1)[0], 0xFF);
    EXPECT_TRUE(flash.WriteEnabled());
    WaitMs(44);
    EXPECT_TRUE(flash.Busy());
    WaitMs(1);
    EXPECT_EQ(Transact({0x05}, 1)[0], 0x00);
    EXPECT_EQ(flash.Contents()[0], 0xFF);
    EXPECT_EQ(Transact({0x03, 0x00, 0x10, 0x00}, 1)[0], 0x00);
}

TEST_F(SpiFlashTest, ChipEraseTakesItsSizeScaledTime) {
    flash.Preload(0x1FFFFF, {0x00});
    Transact({0x06});
    Transact({0xC7});
    EXPECT_EQ(flash.Contents()[0x1FFFFF], 0xFF);
    WaitMs(4'999);
    EXPECT_TRUE(flash.Busy());
    WaitMs(1);
    EXPECT_FALSE(flash.Busy());
    EXPECT_FALSE(flash.WriteEnabled());
}

TEST_F(SpiFlashTest, BlockProtectionRefusesWritesToTheProtectedTop) {
    Transact({0x06});
    Transact({0x01, 0x04});  // BP = 1: the top 64 KiB
    WaitMs(10);
    EXPECT_EQ(flash.Status(), 0x04);
    EXPECT_TRUE(flash.IsProtected(0x1F0000));
    EXPECT_FALSE(flash.IsProtected(0x1EFFFF));

    Program(0x1F0000, {0x00});
    EXPECT_EQ(flash.Contents()[0x1F0000], 0xFF);
    EXPECT_FALSE(flash.WriteEnabled());
    Program(0x1EFF00, {0x00});
    EXPECT_EQ(flash.Contents()[0x1EFF00], 0x00);
    WaitMs(1);
    Transact({0x06});
    Transact({0xC7});  // refused while any block is protected
    EXPECT_FALSE(flash.Busy());
    EXPECT_EQ(flash.Contents()[0x1EFF00], 0x00);

    Transact({0x06});
    Transact({0x01, 0xFF});  // everything
    WaitMs(10);
    EXPECT_EQ(flash.Status(), 0xFC);
    Transact({0x06});
    Transact({0x20, 0x00, 0x00, 0x00});
    Program(0, {0x00});
    EXPECT_EQ(flash.Contents()[0], 0xFF);
    EXPECT_FALSE(flash.Busy());
}

TEST_F(SpiFlashTest, InstructionsWithTheWrongLengthDoNothing) {
    flash.Preload(0, {0x00});
    Transact({0x06, 0x00});  // write enable with a stray byte
    EXPECT_FALSE(flash.WriteEnabled());
    Transact({0x06});
    Transact({0x20, 0x00, 0x00});  // address cut short
    EXPECT_EQ(flash.Contents()[0], 0x00);
    EXPECT_TRUE(flash.WriteEnabled());
}

TEST_F(SpiFlashTest, FaultsStuckBusyAndFlippedBit) {
    flash.Preload(0x40, {0xA5});
    flash.SetFlippedBits(0x40, 0x01);
    EXPECT_EQ(Transact({0x03, 0x00, 0x00, 0x40}, 1)[0], 0xA4);
    EXPECT_EQ(flash.Contents()[0x40], 0xA5);
    flash.SetFlippedBits(0x40, 0);
    EXPECT_EQ(Transact({0x03, 0x00, 0x00, 0x40}, 1)[0], 0xA5);

    // Stuck: idle until an erase starts, which then never ends.
    flash.SetStuckBusy(true);
    EXPECT_EQ(Transact({0x05}, 1)[0] & 0x01, 0x00);
    Transact({0x06}, 0);
    Transact({0x20, 0x00, 0x10, 0x00}, 0);
    WaitMs(100'000);
    EXPECT_EQ(Transact({0x05}, 1)[0] & 0x01, 0x01);
    flash.SetStuckBusy(false);
    EXPECT_EQ(Transact({0x05}, 1)[0], 0x00);
}

TEST(SpiFlashPresetTest, SmallPagePartWrapsAtThirtyTwoBytes) {
    VirtualClock clock;
    SpiFlash flash{clock, PresetConfig(FlashPreset::kSmallPage1MiB)};
    EXPECT_EQ(flash.Id(), (JedecId{0xC2, 0x22, 0x14}));
    EXPECT_EQ(flash.PageSize(), 32u);
    flash.Select();
    flash.Exchange(0x06);
    flash.Deselect();
    flash.Select();
    for (std::uint8_t b : {0x02, 0x00, 0x00, 0x1F, 0x11, 0x22}) flash.Exchange(b);
    flash.Deselect();
    EXPECT_EQ(flash.Contents()[0x1F], 0x11);
    EXPECT_EQ(flash.Contents()[0x00], 0x22);
    EXPECT_EQ(flash.Contents()[0x20], 0xFF);
}

}  // namespace
}  // namespace qv::sim

namespace qv::sim {
namespace {

struct ProtectBitsCase {
    FlashPart part;
    bool locked;          // the status register ignores writes
    std::uint8_t status;  // after write enable and 0xFF written
    bool allProtected;
};

class SpiFlashProtectBits : public ::testing::TestWithParam<ProtectBitsCase> {};

// Parts set as many protect bits as they have, and keep the reserved bits at 0; every protect
// bit set protects the whole array, so a chip erase is refused.
TEST_P(SpiFlashProtectBits, WritingAllOnesSetsThePartsBits) {
    VirtualClock clock;
    SpiFlash flash{clock, PartConfig(GetParam().part)};
    if (GetParam().locked) flash.SetStatusLocked(true);
    const auto transact = [&](std::initializer_list<std::uint8_t> bytes) {
        flash.Select();
        for (auto b : bytes) flash.Exchange(b);
        flash.Deselect();
    };
    transact({0x06});
    transact({0x01, 0xFF});
    clock.SleepMicros(20'000);
    EXPECT_EQ(flash.Status(), GetParam().status);
    EXPECT_EQ(flash.IsProtected(0), GetParam().allProtected);
    EXPECT_FALSE(flash.WriteEnabled());
}

INSTANTIATE_TEST_SUITE_P(Parts, SpiFlashProtectBits,
                         ::testing::Values(ProtectBitsCase{flash_parts::kC22012, false, 0x8C, true},
                                           ProtectBitsCase{flash_parts::kEf4015, false, 0xFC, true},
                                           ProtectBitsCase{flash_parts::kC22015, false, 0xFC, true},
                                           ProtectBitsCase{flash_parts::kEf4015, true, 0x00,
                                                           false}),
                         [](const auto& info) {
                             return std::to_string(info.param.part.protectBits) + "Bits" +
                                    (info.param.locked ? "Locked" : "");
                         });

}  // namespace
}  // namespace qv::sim

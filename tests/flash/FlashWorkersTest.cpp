// Blank check, program, verify, erase and read-back on the virtual product, one by one.

#include <filesystem>
#include <fstream>
#include <iterator>

#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/RangeChecks.h"
#include "flash/ReadBackDump.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

// The link open and the chip in ISP mode, as after "Enter ISP".
class FlashWorkersTest : public FlashFixture {
  protected:
    void SetUp() override {
        FlashFixture::SetUp();
        ASSERT_TRUE(EnterOrLeaveIsp(usb, reporter, selection.ispModeActive));
        usb.Open();
        bus.ClearLog();
    }

    std::vector<std::uint32_t> ReadAddresses() const {
        std::vector<std::uint32_t> addresses;
        for (const auto& r : FlashInstructions(0x03)) addresses.push_back(AddressOf(r));
        return addresses;
    }
};

TEST_F(FlashWorkersTest, CleanReadingClearsTheStrikeOfABadByte) {
    chip->Flash().Preload(0x50, {0x7F});
    reporter.onPump = [&] {
        if (reporter.processAddress.back() == "Blanking Addr: 0x000040") {
            chip->Flash().Preload(0x50, {0xFF});
        }
    };

    EXPECT_TRUE(BlankCheckRange(target, run, 0, 0xFF));
    EXPECT_EQ(ReadAddresses(), (std::vector<std::uint32_t>{0x00, 0x40, 0x40, 0x80, 0xC0}));
}

TEST_F(FlashWorkersTest, FailedReadIsRetried) {
    // A reading is 0x81, 0x83, 0x82: request 6 is the fetch of block 0x40's first reading.
    bus.SetTransferFaults(device, {.failTransfer = 6});

    EXPECT_TRUE(BlankCheckRange(target, run, 0, 0xBF));
    EXPECT_EQ(ReadAddresses(), (std::vector<std::uint32_t>{0x00, 0x40, 0x40, 0x80}));
}

TEST_F(FlashWorkersTest, ThreeStrikesFailAtTheFirstBadByteOrAtTheUnreadBlock) {
    chip->Flash().Preload(0x93, {0x00, 0x00});
    EXPECT_FALSE(BlankCheckRange(target, run, 0, 0xFF));
    EXPECT_EQ(reporter.LastInfo(), "Blanking Fail at 0x000093");
    EXPECT_EQ(ReadAddresses(), (std::vector<std::uint32_t>{0x00, 0x40, 0x80, 0x80, 0x80}));

    bus.SetTransferFaults(device, {.failEvery = 1});
    EXPECT_FALSE(VerifyRange(target, run, 0x40, 0xFF));
    EXPECT_EQ(reporter.LastInfo(), "Verifying Fail at 0x000040");
}

TEST_F(FlashWorkersTest, BytesPastTheEndAreNotChecked) {
    chip->Flash().Preload(0x101, {0x00});
    EXPECT_TRUE(BlankCheckRange(target, run, 0, 0x100));
    chip->Flash().Preload(0x100, {0x00});
    EXPECT_FALSE(BlankCheckRange(target, run, 0, 0x100));
    EXPECT_EQ(reporter.LastInfo(), "Blanking Fail at 0x000100");
}

TEST_F(FlashWorkersTest, SectorEraseFailsWhenAnySectorDoesNotFinish) {
    ASSERT_TRUE(SelectAssignedRange(selection, 64, 12));  // three sectors from 0x10000
    reporter.onPump = [&] {
        const std::string& info = reporter.LastInfo();
        chip->SetFlashStuckBusy(info == "Flash Sector Erase: 0x 010000");
    };

    EXPECT_FALSE(EraseFlash(target, selection, run));

    EXPECT_EQ(reporter.LastInfo(), "Erase Flash Fail");
    EXPECT_EQ(reporter.failures.size(), 1u);
    std::vector<std::uint32_t> sectors;
    for (const auto& r : FlashInstructions(0x20)) sectors.push_back(AddressOf(r));
    EXPECT_EQ(sectors, (std::vector<std::uint32_t>{0x10000, 0x11000, 0x12000}));
}

TEST_F(FlashWorkersTest, EmptyAssignedRangeErasesNothing) {
    ASSERT_TRUE(SelectAssignedRange(selection, 32, 0));
    EXPECT_TRUE(EraseFlash(target, selection, run));
    EXPECT_EQ(reporter.processInfo, std::vector<std::string>{"Flash Sector Erase"});
    EXPECT_TRUE(FlashInstructions(0x20).empty());
}

TEST_F(FlashWorkersTest, ReadBackDumpHoldsTheFlashAsHexRows) {
    std::vector<std::uint8_t> pattern(0x8000);
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7);
    chip->Flash().Preload(0, pattern);
    const FlashReadBack readBack = ReadFlash(target, run);
    ASSERT_TRUE(readBack.complete);
    EXPECT_EQ(reporter.LastInfo(), "Read Flash content Success");

    const auto folder = std::filesystem::path(::testing::TempDir()) / "qv_readback";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto file = folder / "flash.bin";
    std::ofstream(file) << "an older, longer file that must be replaced entirely";
    const Expected<void> result = WriteReadBackDump(readBack.bytes, 0x8000, file.string());
    ASSERT_TRUE(result.ok()) << result.text();

    std::string expected;
    for (std::size_t p = 0; p < pattern.size(); p += 16) {
        for (std::size_t k = 0; k < 16; ++k) {
            char cell[8];
            std::snprintf(cell, sizeof cell, "0x%02X, ", pattern[p + k]);
            expected += cell;
        }
        expected += '\r';
    }
    std::ifstream in(file, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(written.size(), 2048u * 97);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(FlashWorkersTest, UnwritableDumpIsReportedAndLeavesNothingBehind) {
    const auto folder = std::filesystem::path(::testing::TempDir()) / "qv_readback_fail";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "taken");

    // The name is taken by a folder: the rename fails and the temporary file goes away.
    const std::vector<std::uint8_t> bytes(0x100);
    Expected<void> result = WriteReadBackDump(bytes, 0x100, (folder / "taken").string());
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.text().find("taken"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    result = WriteReadBackDump(bytes, 0x100, (folder / "no" / "dump").string());
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.text().empty());
}

TEST_F(FlashWorkersTest, ReadBackRefusesARangePastItsBuffer) {
    EXPECT_FALSE(ReadBackRange(target, run, 0, kImageCapacity).complete);
    EXPECT_TRUE(FlashInstructions(0x03).empty());
}

TEST_F(FlashWorkersTest, IspButtonTogglesOnlyWhenTheChipTakesTheRequest) {
    ASSERT_TRUE(selection.ispModeActive);
    EXPECT_TRUE(EnterOrLeaveIsp(usb, reporter, selection.ispModeActive));
    EXPECT_FALSE(selection.ispModeActive);
    EXPECT_FALSE(chip->IspModeOn());

    chip->SetIspEntryRefused(true);
    EXPECT_FALSE(EnterOrLeaveIsp(usb, reporter, selection.ispModeActive));
    EXPECT_FALSE(selection.ispModeActive);
}

class SmallPageFlashTest : public FlashFixture {
  protected:
    SmallPageFlashTest() : FlashFixture(sim::FlashPreset::kSmallPage1MiB) {}
};

TEST_F(SmallPageFlashTest, ProgramBeforeAnySequenceChoosesTheBlockSizeFromTheId) {
    ASSERT_TRUE(EnterOrLeaveIsp(usb, reporter, selection.ispModeActive));
    ASSERT_EQ(target.programBlockSize, 0);
    LoadRandomImage(0x600);

    EXPECT_TRUE(ProgramFlash(target, selection, run));

    EXPECT_EQ(reporter.LastInfo(), "Programming Success");
    EXPECT_EQ(target.programBlockSize, 32);
    EXPECT_EQ(FlashBytes(0, image.length), ImageBytes(image.length));
    EXPECT_TRUE(ReadChipId(target, reporter));
    EXPECT_EQ(ChipIdCaption(target.flashIdBytes), "0xC2,  0x22,  0x14,  ");
}

}  // namespace
}  // namespace qv

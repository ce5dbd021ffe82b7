// The ISP page's "Auto" sequence with its selectable steps.

#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

using AutoSequenceTest = FlashFixture;

TEST_F(AutoSequenceTest, AssignedRangePlacesTheImageAtItsStart) {
    chip->Flash().Preload(0, std::vector<std::uint8_t>(0x1000, 0x00));
    chip->Flash().Preload(0x8000, std::vector<std::uint8_t>(0x200, 0x00));
    ASSERT_TRUE(SelectAssignedRange(selection, 32, 64));
    LoadRandomImage(0x100);

    EXPECT_EQ(RunAutoSequence(target, selection, run, AutoSteps{}), SequenceOutcome::kSuccess);

    EXPECT_EQ(FlashBytes(0x8000, 0x100), ImageBytes(0x100));
    EXPECT_EQ(FlashBytes(0x8100, 0x100), std::vector<std::uint8_t>(0x100, 0xFF));
    EXPECT_EQ(FlashBytes(0, 0x1000), std::vector<std::uint8_t>(0x1000, 0x00));
    const auto sectors = FlashInstructions(0x20);
    ASSERT_EQ(sectors.size(), 16u);
    EXPECT_EQ(AddressOf(sectors.front()), 0x8000u);
    EXPECT_EQ(AddressOf(sectors.back()), 0x17000u);
    const auto reads = FlashInstructions(0x03);
    EXPECT_EQ(AddressOf(reads.front()), 0x8000u);
    EXPECT_EQ(AddressOf(reads.back()), 0x8100u);
    EXPECT_EQ(reporter.LastInfo(), "Verifying Success");
    EXPECT_FALSE(chip->IspModeOn());
}

// The ISP page's sequence checks the flash before its erase as the update does.
TEST_F(AutoSequenceTest, ANoFlashOrAWriteProtectedFlashIsNotErased) {
    for (const auto& [fault, shown] : std::vector<std::pair<std::function<void()>, std::string>>{
             {[&] { chip->SetNoFlash(0xFF); }, "no flash answered; nothing was changed"},
             {[&] {
                  chip->SetNoFlash(std::nullopt);
                  chip->Flash().HoldProtection();
              },
              "the flash is write-protected (status 0x9C; write-protect pin held?)"}}) {
        fault();
        bus.ClearLog();
        EXPECT_EQ(RunAutoSequence(target, selection, run, AutoSteps{}), SequenceOutcome::kFailed);
        EXPECT_TRUE(reporter.SawInfo(shown)) << shown;
        EXPECT_TRUE(FlashInstructions(0xC7).empty()) << shown;
        EXPECT_TRUE(FlashInstructions(0x20).empty()) << shown;
    }
}

TEST_F(AutoSequenceTest, StopEndsTheRunAtTheNextBlockAndStillCleansUp) {
    LoadRandomImage(0x800);
    AutoSteps steps;
    steps.protect = true;
    reporter.onPump = [&] {
        if (reporter.LastInfo() == "Start Blanking Check") run.stopRequested = true;
    };

    EXPECT_EQ(RunAutoSequence(target, selection, run, steps), SequenceOutcome::kStopped);

    EXPECT_EQ(reporter.LastInfo(), "Stopped by user");
    EXPECT_FALSE(reporter.SawInfo("Blanking Success"));  // the running step stopped too
    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_EQ(chip->Flash().Status(), 0xFC);
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(AutoSequenceTest, WithOnlyIspModeItReadsTheIdAndNothingElse) {
    LoadRandomImage(0x800);
    const AutoSteps steps{.ispMode = true,
                          .erase = false,
                          .blank = false,
                          .program = false,
                          .verify = false,
                          .protect = false};

    EXPECT_EQ(RunAutoSequence(target, selection, run, steps), SequenceOutcome::kSuccess);

    std::vector<std::uint8_t> codes;
    for (const auto& r : Requests()) {
        if (codes.empty() || codes.back() != r.request) codes.push_back(r.request);
    }
    // ISP entry and port routing, the id read (0x81, 0x83, 0x82), ISP exit and port release.
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{0x84, 0x90, 0x81, 0x83, 0x82, 0x85, 0x90}));
    EXPECT_EQ(target.programBlockSize, 256);
    EXPECT_FALSE(chip->IspModeOn());
}

TEST_F(AutoSequenceTest, WithoutEraseAWrittenFlashFailsTheBlankCheck) {
    chip->Flash().Preload(0x321, {0x5A});
    LoadRandomImage(0x800);
    AutoSteps steps;
    steps.erase = false;

    EXPECT_EQ(RunAutoSequence(target, selection, run, steps), SequenceOutcome::kFailed);

    EXPECT_EQ(reporter.LastInfo(), "Blanking Fail at 0x000321");
    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_FALSE(chip->IspModeOn());
}

TEST_F(AutoSequenceTest, RangeBeyondTheFlashAddressSpaceIsRefused) {
    EXPECT_FALSE(SelectAssignedRange(selection, 16 * 1024, 4));
    ASSERT_TRUE(SelectAssignedRange(selection, 16 * 1024 - 4, 4));
    LoadRandomImage(0x2000);

    EXPECT_EQ(RunAutoSequence(target, selection, run, AutoSteps{}), SequenceOutcome::kFailed);
    EXPECT_EQ(reporter.LastInfo(), "Image does not fit in the flash above 0xFFF000");
    EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace qv

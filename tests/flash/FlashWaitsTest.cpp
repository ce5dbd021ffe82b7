// Each wait for the flash ends at twice the datasheet maximum of the part the id names, in the
// device's time, whatever the polls cost; for a part the table does not know it keeps its poll
// count. The update reports a flash stuck in its erase within a minute.

#include "flash/FlashErase.h"
#include "flash/FlashWaits.h"
#include "flash/IspOperations.h"
#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

constexpr std::uint64_t kHour = 3'600'000'000;

// A part the table does not know, otherwise as the default one.
sim::FlashConfig UnknownPart() {
    sim::FlashConfig config = sim::PresetConfig(sim::FlashPreset::kCommon2MiB);
    config.id = {0x20, 0xBA, 0x15};
    return config;
}

// Starts what a wait is for.
bool EraseChip(QuorvexUsb& usb) {
    return FlashEraseAll(usb);
}
bool EraseSector(QuorvexUsb& usb) {
    return FlashEraseSector(usb, 0x1000);
}
bool ProgramPage(QuorvexUsb& usb) {
    const std::uint8_t data[4] = {0x12, 0x34, 0x56, 0x78};
    return FlashProgramBlock(usb, 0x100, sizeof data, data);
}
bool WriteStatus(QuorvexUsb& usb) {
    return FlashWriteStatus(usb, 0x00);
}

struct WaitCase {
    const char* name;
    FlashWaitFor what;
    bool (*start)(QuorvexUsb&);
    std::uint64_t sim::FlashTimings::*time;  // the flash's time for it
    bool knownPart;
    std::uint64_t busyMicros;  // how long the flash stays busy
    bool finishes;
    std::uint64_t bound = 0;  // the wait's bound: µs for a known part, polls for another
};

class FlashWaitBound : public FlashFixture, public ::testing::WithParamInterface<WaitCase> {
  protected:
    FlashWaitBound()
        : FlashFixture(GetParam().knownPart ? sim::PresetConfig(sim::FlashPreset::kCommon2MiB)
                                            : UnknownPart()) {}
};

TEST_P(FlashWaitBound, EndsAtTwiceThePartsMaximumOrAtItsPollCount) {
    const WaitCase& c = GetParam();
    ASSERT_TRUE(usb.Open());
    ASSERT_TRUE(IspEnterMode(usb, true));
    ReadFlashId(target);
    ASSERT_EQ(KnownFlashId(target) != nullptr && FindFlashPart(*KnownFlashId(target)), c.knownPart);
    sim::FlashTimings timings{kHour, kHour, kHour, kHour};
    timings.*c.time = c.busyMicros;
    chip->Flash().SetTimings(timings);
    ASSERT_TRUE(FlashWriteEnable(usb));
    ASSERT_TRUE(c.start(usb));
    const std::uint64_t start = clock.NowMicros();
    int polls = 0;
    const bool idle = WaitFlashIdle(target, c.what, [&](const WaitPoll&) { ++polls; });
    const std::uint64_t waited = clock.NowMicros() - start;

    EXPECT_EQ(idle, c.finishes);
    if (c.finishes) {
        EXPECT_GE(waited, c.busyMicros);
    } else if (c.knownPart) {
        // Past the bound by no more than one poll and its sleep.
        EXPECT_GE(waited, c.bound);
        EXPECT_LT(waited, c.bound + 12'000);
    } else {
        EXPECT_EQ(polls, static_cast<int>(c.bound));
    }
}

constexpr auto kChip = &sim::FlashTimings::chipEraseMicros;
constexpr auto kSector = &sim::FlashTimings::sectorEraseMicros;
constexpr auto kPage = &sim::FlashTimings::pageProgramMicros;
constexpr auto kStatus = &sim::FlashTimings::statusWriteMicros;
using W = FlashWaitFor;
INSTANTIATE_TEST_SUITE_P(
    Waits, FlashWaitBound,
    ::testing::Values(
        // EF 40 15: chip erase 25 s, sector erase 400 ms, page program 3 ms, status write 15 ms.
        WaitCase{"ChipEraseAtItsMaximum", W::kChipErase, EraseChip, kChip, true, 25'000'000, true},
        WaitCase{"ChipEraseNearTwice", W::kChipErase, EraseChip, kChip, true, 49'990'000, true},
        WaitCase{"ChipEraseStuck", W::kChipErase, EraseChip, kChip, true, kHour, false, 50'000'000},
        WaitCase{"SectorStuck", W::kSectorErase, EraseSector, kSector, true, kHour, false, 800'000},
        WaitCase{"PageStuck", W::kPageProgram, ProgramPage, kPage, true, kHour, false, 6'000},
        WaitCase{"StatusStuck", W::kStatusWrite, WriteStatus, kStatus, true, kHour, false, 30'000},
        // Unknown: the poll counts of old, a chip erase as long as the largest flash may take.
        WaitCase{"UnknownChipStuck", W::kChipErase, EraseChip, kChip, false, kHour, false, 20'000},
        WaitCase{"UnknownSectorStuck", W::kSectorErase, EraseSector, kSector, false, kHour, false,
                 1'000},
        WaitCase{"UnknownPageStuck", W::kPageProgram, ProgramPage, kPage, false, kHour, false, 101},
        WaitCase{"UnknownStatusStuck", W::kStatusWrite, WriteStatus, kStatus, false, kHour, false,
                 1'000},
        WaitCase{"UnknownChipErase", W::kChipErase, EraseChip, kChip, false, 100'000'000, true}),
    [](const auto& info) { return std::string(info.param.name); });

class StuckFlash : public FlashFixture {};

// The default part's chip erase may take 25 s: a flash that never finishes it is reported
// within a minute of the start, with the closing steps run.
TEST_F(StuckFlash, IsReportedWithinAMinuteOfTheUpdatesStart) {
    LoadRandomImage(0x400);
    chip->SetFlashStuckBusy(true);
    const std::uint64_t start = clock.NowMicros();

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_LT(clock.NowMicros() - start, 60'000'000u);
    EXPECT_GE(clock.NowMicros() - start, 50'000'000u);
    EXPECT_EQ(reporter.LastStep(), "Erase Flash Fail");
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_EQ(reporter.failures[0].first, FlashStep::kErase);
    EXPECT_FALSE(chip->IspModeOn());
}

}  // namespace
}  // namespace qv

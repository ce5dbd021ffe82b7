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

struct WaitCase {
    const char* name;
    FlashWaitFor what;
    bool knownPart;
    std::uint64_t busyMicros;  // how long the flash stays busy
    bool finishes;
    std::uint64_t bound;  // the wait's bound: µs for a known part, polls for another
};

class FlashWaitBound : public FlashFixture, public ::testing::WithParamInterface<WaitCase> {
  protected:
    FlashWaitBound()
        : FlashFixture(GetParam().knownPart ? sim::PresetConfig(sim::FlashPreset::kCommon2MiB)
                                            : UnknownPart()) {}

    // Starts the operation the case waits for, with the flash busy for busyMicros.
    void StartOperation() {
        sim::FlashTimings timings{kHour, kHour, kHour, kHour};
        switch (GetParam().what) {
            case FlashWaitFor::kChipErase:
                timings.chipEraseMicros = GetParam().busyMicros;
                break;
            case FlashWaitFor::kSectorErase:
                timings.sectorEraseMicros = GetParam().busyMicros;
                break;
            case FlashWaitFor::kPageProgram:
                timings.pageProgramMicros = GetParam().busyMicros;
                break;
            case FlashWaitFor::kStatusWrite:
                timings.statusWriteMicros = GetParam().busyMicros;
                break;
        }
        chip->Flash().SetTimings(timings);
        ASSERT_TRUE(FlashWriteEnable(usb));
        const std::uint8_t data[4] = {0x12, 0x34, 0x56, 0x78};
        switch (GetParam().what) {
            case FlashWaitFor::kChipErase:
                ASSERT_TRUE(FlashEraseAll(usb));
                break;
            case FlashWaitFor::kSectorErase:
                ASSERT_TRUE(FlashEraseSector(usb, 0x1000));
                break;
            case FlashWaitFor::kPageProgram:
                ASSERT_TRUE(FlashProgramBlock(usb, 0x100, sizeof data, data));
                break;
            case FlashWaitFor::kStatusWrite:
                ASSERT_TRUE(FlashWriteStatus(usb, 0x00));
                break;
        }
    }
};

TEST_P(FlashWaitBound, EndsAtTwiceThePartsMaximumOrAtItsPollCount) {
    const WaitCase& c = GetParam();
    ASSERT_TRUE(usb.Open());
    ASSERT_TRUE(IspEnterMode(usb, true));
    ReadFlashId(context);
    ASSERT_EQ(KnownFlashId(context) != nullptr && FindFlashPart(*KnownFlashId(context)),
              c.knownPart);
    StartOperation();
    const std::uint64_t start = clock.NowMicros();
    int polls = 0;
    const bool idle = WaitFlashIdle(context, c.what, [&](const WaitPoll&) { ++polls; });
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

using W = FlashWaitFor;
INSTANTIATE_TEST_SUITE_P(
    Waits, FlashWaitBound,
    ::testing::Values(
        // EF 40 15: chip erase 25 s, sector erase 400 ms, page program 3 ms, status write 15 ms.
        WaitCase{"ChipEraseAtItsMaximum", W::kChipErase, true, 25'000'000, true, 0},
        WaitCase{"ChipEraseTwiceItsMaximum", W::kChipErase, true, 49'990'000, true, 0},
        WaitCase{"ChipEraseStuck", W::kChipErase, true, kHour, false, 50'000'000},
        WaitCase{"SectorEraseStuck", W::kSectorErase, true, kHour, false, 800'000},
        WaitCase{"PageProgramStuck", W::kPageProgram, true, kHour, false, 6'000},
        WaitCase{"StatusWriteStuck", W::kStatusWrite, true, kHour, false, 30'000},
        // Unknown: the poll counts of old, a chip erase as long as the largest flash may take.
        WaitCase{"UnknownChipEraseStuck", W::kChipErase, false, kHour, false, 20'000},
        WaitCase{"UnknownSectorEraseStuck", W::kSectorErase, false, kHour, false, 1'000},
        WaitCase{"UnknownPageProgramStuck", W::kPageProgram, false, kHour, false, 101},
        WaitCase{"UnknownStatusWriteStuck", W::kStatusWrite, false, kHour, false, 1'000},
        WaitCase{"UnknownChipEraseFinishes", W::kChipErase, false, 100'000'000, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

class StuckFlash : public FlashFixture {};

// The default part's chip erase may take 25 s: a flash that never finishes it is reported
// within a minute of the start, with the closing steps run.
TEST_F(StuckFlash, IsReportedWithinAMinuteOfTheUpdatesStart) {
    LoadRandomImage(0x400);
    chip->SetFlashStuckBusy(true);
    const std::uint64_t start = clock.NowMicros();

    EXPECT_FALSE(RunFirmwareUpdate(context));

    EXPECT_LT(clock.NowMicros() - start, 60'000'000u);
    EXPECT_GE(clock.NowMicros() - start, 50'000'000u);
    EXPECT_EQ(reporter.LastStep(), "Erase Flash Fail");
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_EQ(reporter.failures[0].first, FlashStep::kErase);
    EXPECT_FALSE(chip->IspModeOn());
}

}  // namespace
}  // namespace qv

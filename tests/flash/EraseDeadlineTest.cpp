// A chip erase is awaited for the datasheet maximum of the flash the id names, 10 ms per status
// poll and never fewer than 1000 polls, in the update as on the ISP page.

#include "flash/FlashErase.h"
#include "flash/FlashWaits.h"
#include "flash/IspOperations.h"
#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

TEST(ChipErasePollLimitTest, CoversTheDatasheetMaximumAndNeverFewerThanAThousandPolls) {
    const std::pair<FlashId, int> cases[] = {
        {{0xEF, 0x40, 0x15}, 2500},  // 2 MiB: 25 s
        {{0xEF, 0x40, 0x16}, 5000},  // 4 MiB: 50 s
        {{0xC2, 0x22, 0x14}, 1250},  // 1 MiB: 12.5 s
        {{0xC2, 0x20, 0x12}, 1000},  // 256 KiB: 3.1 s, raised to the floor
        // Not in the table: whatever the id seems to say, as long as the largest flash, 200 s.
        {{0x20, 0xBA, 0x10}, 20000},
        {{0xFF, 0xFF, 0xFF}, 20000},
    };
    for (const auto& [id, polls] : cases) {
        EXPECT_EQ(ChipErasePollLimit(&id), polls) << testing::PrintToString(id);
    }
    EXPECT_EQ(ChipErasePollLimit(nullptr), 20000);  // no id read
}

enum class Eraser { kUpdate, kIspPage };

struct DeadlineCase {
    sim::FlashPreset preset;
    Eraser eraser;
    std::int64_t beyondMaximumMicros;  // how much longer than the datasheet maximum it erases
    bool finishes;
};

void PrintTo(const DeadlineCase& c, std::ostream* out) {
    *out << (c.preset == sim::FlashPreset::kCommon4MiB ? "4 MiB" : "2 MiB")
         << (c.eraser == Eraser::kUpdate ? " update, " : " ISP page, ") << c.beyondMaximumMicros
         << " us beyond the maximum";
}

class EraseDeadlineTest : public FlashFixture, public ::testing::WithParamInterface<DeadlineCase> {
  protected:
    EraseDeadlineTest() : FlashFixture(GetParam().preset) {}

    // Status reads from the chip erase instruction up to the next instruction.
    std::int64_t PollsAfterErase() const {
        const auto requests = Requests();
        const auto isStatusRead = [](const SentRequest& r) {
            return r.request == 0x81 && r.data == std::vector<std::uint8_t>{0x05};
        };
        auto r = std::find_if(requests.begin(), requests.end(), [](const SentRequest& r) {
            return r.request == 0x80 && r.data == std::vector<std::uint8_t>{0xC7};
        });
        std::int64_t polls = 0;
        for (++r; r != requests.end() &&
                  ((r->request != 0x80 && r->request != 0x81) || isStatusRead(*r));
             ++r) {
            polls += isStatusRead(*r) ? 1 : 0;
        }
        return polls;
    }
};

TEST_P(EraseDeadlineTest, FinishesUpToTheMaximumAndFailsBeyondIt) {
    const DeadlineCase& c = GetParam();
    const std::uint64_t maximum = MaxChipEraseMicros(FindFlashPart(chip->Flash().Id()));
    sim::FlashTimings timings = chip->Flash().Timings();
    timings.chipEraseMicros = maximum + c.beyondMaximumMicros;
    chip->Flash().SetTimings(timings);
    LoadRandomImage(0x100);
    const int limit = ChipErasePollLimit(&chip->Flash().Id());

    if (c.eraser == Eraser::kUpdate) {
        EXPECT_EQ(RunFirmwareUpdate(context), c.finishes);
        EXPECT_EQ(reporter.LastStep(),
                  c.finishes ? "Firmware update success!" : "Erase Flash Fail");
    } else {
        ASSERT_TRUE(EnterOrLeaveIsp(context));
        EXPECT_EQ(EraseFlash(context), c.finishes);
        // The dots grow with the polls made, which the transfers' own time shortens.
        if (c.finishes) {
            EXPECT_EQ(reporter.LastInfo().rfind("Flash Erase All ", 0), 0u) << reporter.LastInfo();
        } else {
            EXPECT_EQ(reporter.LastInfo(), "Erase Flash Fail");
        }
    }
    const std::int64_t polls = PollsAfterErase();
    EXPECT_GE(polls, kErasePollLimit);
    if (c.finishes) {
        EXPECT_LE(polls, limit);
    } else {
        EXPECT_EQ(polls, limit);
    }
}

// The polls' own transfers take device time too, so the wait runs a little past the maximum
// (under 4 %); an erase this much longer than the maximum outlasts it.
constexpr std::int64_t kWellBeyond = 5'000'000;
constexpr auto k2MiB = sim::FlashPreset::kCommon2MiB;
constexpr auto k4MiB = sim::FlashPreset::kCommon4MiB;

INSTANTIATE_TEST_SUITE_P(TwoAndFourMiB, EraseDeadlineTest,
                         ::testing::Values(DeadlineCase{k2MiB, Eraser::kUpdate, -10'000, true},
                                           DeadlineCase{k2MiB, Eraser::kUpdate, 0, true},
                                           DeadlineCase{k2MiB, Eraser::kUpdate, kWellBeyond, false},
                                           DeadlineCase{k4MiB, Eraser::kUpdate, -10'000, true},
                                           DeadlineCase{k4MiB, Eraser::kUpdate, kWellBeyond, false},
                                           DeadlineCase{k4MiB, Eraser::kIspPage, -10'000, true},
                                           DeadlineCase{k4MiB, Eraser::kIspPage, kWellBeyond,
                                                        false}));

}  // namespace
}  // namespace qv

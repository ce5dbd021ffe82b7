// A stop request honoured inside each long step, at the block after the one it came during, in
// virtual time: the step ends at once without reporting a failure, says where it stopped, and
// leaves the flash as far as it got. (The sequences' stops: FirmwareUpdateTest, AutoSequenceTest.)

#include <algorithm>
#include <functional>

#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/RangeChecks.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

constexpr std::uint32_t kLength = 0x4000;

class StopPointsTest : public FlashFixture {
  protected:
    void SetUp() override {
        FlashFixture::SetUp();
        LoadRandomImage(kLength);
        // No block of 0xFF: every program block is sent, so each pumps once.
        std::replace(image.data.begin(), image.data.begin() + kLength, std::uint8_t{0xFF},
                     std::uint8_t{0x5A});
        ASSERT_TRUE(EnterOrLeaveIsp(usb, reporter, selection.ispModeActive));
    }

    // Raises the stop when `marker` is shown, and keeps the time it was raised.
    void StopWhenShown(const std::string& marker) {
        reporter.onPump = [this, marker] {
            const bool shown =
                (!reporter.processAddress.empty() && reporter.processAddress.back() == marker) ||
                reporter.LastInfo() == marker;
            if (shown && !run.stopRequested) {
                run.stopRequested = true;
                stoppedAtMicros = clock.NowMicros();
            }
        };
    }

    std::uint64_t stoppedAtMicros = 0;

  public:  // for the table's preparations
    using FlashFixture::chip;
    using FlashFixture::ImageBytes;
    using FlashFixture::selection;
};

struct LongStep {
    const char* name;
    std::uint32_t block;   // bytes per stop point
    std::uint32_t blocks;  // stop points in all (the read walks take [0, kLength], end included)
    std::function<std::string(std::uint32_t address)> marker;
    std::function<void(StopPointsTest&)> prepare;
    std::function<bool(FlashTarget&, const FlashSelection&, FlashRun&)> run;
};

TEST_F(StopPointsTest, EachLongStepStopsAtTheBlockAfterTheRequest) {
    const auto walk = [](const char* text) {
        return [text](std::uint32_t address) { return text + Hex6(address); };
    };
    const std::vector<LongStep> steps{
        {"blank check", kReadBlockSize, kLength / kReadBlockSize + 1, walk("Blanking Addr: 0x"),
         [](StopPointsTest&) {}, BlankCheckFlash},
        {"verify", kReadBlockSize, kLength / kReadBlockSize + 1, walk("Verifying Addr: 0x"),
         [](StopPointsTest& t) { t.chip->Flash().Preload(0, t.ImageBytes(kLength)); }, VerifyFlash},
        {"read-back", kReadBlockSize, kLength / kReadBlockSize + 1, walk("Verifying Addr: 0x"),
         [](StopPointsTest&) {},
         [](FlashTarget& t, const FlashSelection&, FlashRun& r) {
             return ReadFlash(t, r, kLength).complete;
         }},
        {"program", kPageBlockSize, kLength / kPageBlockSize, walk("0x"), [](StopPointsTest&) {},
         ProgramFlash},
        {"sector erase", 4096, kLength / 4096, walk("Flash Sector Erase: 0x "),
         [](StopPointsTest& t) {
             t.chip->Flash().Preload(0, std::vector<std::uint8_t>(kLength, 0));
             ASSERT_TRUE(SelectAssignedRange(t.selection, 0, kLength / 1024));
         },
         EraseFlash},
    };
    for (const LongStep& step : steps) {
        for (const std::uint32_t n : {1u, 3u, step.blocks}) {
            SCOPED_TRACE(std::string(step.name) + ", stop during block " + std::to_string(n));
            chip->Flash().Preload(0, std::vector<std::uint8_t>(kLength, 0xFF));
            SelectWholeRange(selection);
            step.prepare(*this);
            reporter = RecordingReporter();
            StopWhenShown(step.marker((n - 1) * step.block));
            bus.ClearLog();

            const bool done = step.run(target, selection, run);
            const bool last = n == step.blocks;
            EXPECT_EQ(done, last) << "a stop during the last block stops nothing";
            EXPECT_TRUE(reporter.failures.empty());
            if (last) {
                EXPECT_FALSE(run.stoppedAt);
                continue;
            }
            ASSERT_TRUE(run.stoppedAt);
            EXPECT_EQ(*run.stoppedAt, n * step.block);
            EXPECT_LE(clock.NowMicros() - stoppedAtMicros, 1'000'000u) << "within a second";
            // Nothing past the stop point was touched.
            for (const SentRequest& r : Requests()) {
                if ((r.request == 0x80 || r.request == 0x81) && r.data.size() >= 4 &&
                    (r.data[0] == 0x03 || r.data[0] == 0x02 || r.data[0] == 0x20)) {
                    EXPECT_LT(AddressOf(r), n * step.block);
                }
            }
            const std::vector<std::uint8_t> after = FlashBytes(n * step.block, step.block);
            if (std::string(step.name) == "program") {
                EXPECT_EQ(FlashBytes(0, n * step.block),
                          std::vector<std::uint8_t>(image.data.begin(),
                                                    image.data.begin() + n * step.block));
                EXPECT_EQ(after, std::vector<std::uint8_t>(step.block, 0xFF));
            }
            if (std::string(step.name) == "sector erase") {
                EXPECT_EQ(FlashBytes(0, n * step.block),
                          std::vector<std::uint8_t>(n * step.block, 0xFF));
                EXPECT_EQ(after, std::vector<std::uint8_t>(step.block, 0));
            }
        }
    }
}

}  // namespace
}  // namespace qv

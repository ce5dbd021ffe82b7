// Every flash operation stays inside the flash that the id names: a range past its end is
// refused before anything is erased, programmed or read, and a range up to its very end reads
// no byte past it (which would wrap to address 0).

#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/RangeChecks.h"
#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

enum class Operation { kErase, kBlank, kProgram, kVerify, kRead, kAuto };

struct BoundsCase {
    sim::FlashPreset preset;
    Operation operation;
    std::uint32_t startKiB;  // assigned range; kNoRange for "All"
    std::uint32_t sizeKiB;
    std::uint32_t imageLength;  // or, for kRead, the end of the read
    const char* refusal;        // empty: the operation runs
};

constexpr std::uint32_t kNoRange = ~0u;

void PrintTo(const BoundsCase& c, std::ostream* out) {
    static constexpr const char* kNames[] = {"erase", "blank", "program", "verify", "read", "auto"};
    *out << kNames[static_cast<int>(c.operation)] << " at " << c.startKiB << " KiB, "
         << c.imageLength << " bytes";
}
constexpr auto k2MiB = sim::FlashPreset::kCommon2MiB;
constexpr auto kSmall = sim::FlashPreset::kSmallPage1MiB;

bool RunOperation(FlashTarget& target, const FlashSelection& selection, FlashRun& run,
                  Operation operation, std::uint32_t readEnd) {
    switch (operation) {
        case Operation::kErase:
            return EraseFlash(target, selection, run);
        case Operation::kBlank:
            return BlankCheckFlash(target, selection, run);
        case Operation::kProgram:
            return ProgramFlash(target, selection, run);
        case Operation::kVerify:
            return VerifyFlash(target, selection, run);
        case Operation::kRead:
            return ReadFlash(target, run, readEnd).complete;
        case Operation::kAuto:
            break;
    }
    return RunAutoSequence(target, selection, run, AutoSteps{}) == SequenceOutcome::kSuccess;
}

class FlashBoundsTest : public ::testing::WithParamInterface<BoundsCase>, public FlashFixture {
  protected:
    FlashBoundsTest() : FlashFixture(GetParam().preset) {}
};

TEST_P(FlashBoundsTest, RangePastTheEndIsRefusedBeforeTheFlashIsTouched) {
    const BoundsCase& c = GetParam();
    const std::uint32_t flashSize = chip->Flash().Size();
    chip->Flash().Preload(0, {0x12, 0x34});  // the firmware at address 0
    ASSERT_TRUE(EnterOrLeaveIsp(usb, reporter, selection.ispModeActive));
    if (c.startKiB != kNoRange) {
        ASSERT_TRUE(SelectAssignedRange(selection, c.startKiB, c.sizeKiB));
    }
    image.data[0] = 0x00;  // one block to program, the rest erased
    image.length = c.imageLength;
    bus.ClearLog();

    const bool ok = RunOperation(target, selection, run, c.operation, c.imageLength);

    const std::string refusal = c.refusal;
    if (refusal.empty()) {
        EXPECT_TRUE(ok) << reporter.LastInfo();
    } else {
        EXPECT_FALSE(ok);
        EXPECT_TRUE(reporter.SawInfo(refusal)) << reporter.LastInfo();
        EXPECT_TRUE(FlashInstructions(0x20).empty());
        EXPECT_TRUE(FlashInstructions(0xC7).empty());
        EXPECT_TRUE(FlashInstructions(0x03).empty());
        EXPECT_TRUE(ProgramDataLengths().empty());
        EXPECT_EQ(FlashBytes(0, 2), (std::vector<std::uint8_t>{0x12, 0x34}));
    }
    for (const std::uint8_t opcode : {0x02, 0x20}) {
        for (const SentRequest& r : FlashInstructions(opcode)) EXPECT_LT(AddressOf(r), flashSize);
    }
    for (const SentRequest& r : FlashInstructions(0x03)) {
        EXPECT_LE(AddressOf(r) + kReadBlockSize, flashSize);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryOperation, FlashBoundsTest,
    ::testing::Values(
        // Sectors 2044 to 2051 KiB: the last four would be 0 to 3 KiB.
        BoundsCase{k2MiB, Operation::kErase, 2044, 8, 0,
                   "Erase range does not fit in the 2048 KiB flash"},
        BoundsCase{k2MiB, Operation::kErase, 2048, 0, 0,
                   "Erase range does not fit in the 2048 KiB flash"},
        BoundsCase{k2MiB, Operation::kErase, 2044, 4, 0, ""},
        BoundsCase{k2MiB, Operation::kProgram, kNoRange, 0, (2u << 20) + 1,
                   "Image does not fit in the 2048 KiB flash"},
        BoundsCase{k2MiB, Operation::kBlank, 4096, 4, 16,
                   "Image does not fit in the 2048 KiB flash"},
        BoundsCase{k2MiB, Operation::kVerify, 2047, 1, 1025,
                   "Image does not fit in the 2048 KiB flash"},
        BoundsCase{k2MiB, Operation::kRead, kNoRange, 0, (2u << 20) + 1,
                   "Read range does not fit in the 2048 KiB flash"},
        // Auto erases the assigned sectors: 2040 KiB + 64 KiB would wrap to address 0.
        BoundsCase{k2MiB, Operation::kAuto, 2040, 64, 0x100,
                   "Erase range does not fit in the 2048 KiB flash"},
        BoundsCase{k2MiB, Operation::kAuto, 2044, 4, 0x1001,
                   "Image does not fit in the 2048 KiB flash"},
        BoundsCase{kSmall, Operation::kErase, 1020, 8, 0,
                   "Erase range does not fit in the 1024 KiB flash"},
        BoundsCase{kSmall, Operation::kProgram, 1023, 1, 1025,
                   "Image does not fit in the 1024 KiB flash"},
        BoundsCase{kSmall, Operation::kBlank, 1024, 1, 1,
                   "Image does not fit in the 1024 KiB flash"},
        BoundsCase{kSmall, Operation::kVerify, kNoRange, 0, (1u << 20) + 64,
                   "Image does not fit in the 1024 KiB flash"},
        BoundsCase{kSmall, Operation::kAuto, 1000, 64, 0x100,
                   "Erase range does not fit in the 1024 KiB flash"},
        // Up to the very end: runs, and reads nothing past it.
        BoundsCase{kSmall, Operation::kBlank, 1020, 4, 4096, ""},
        BoundsCase{kSmall, Operation::kRead, kNoRange, 0, 1u << 20, ""},
        BoundsCase{kSmall, Operation::kAuto, 1020, 4, 4096, ""}));

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A part the table does not know: its capacity byte is a guess (0x10 would say 64 KiB), so the
// size it seems to name refuses nothing, and its protection is not judged.
TEST(UnknownFlashTest, AValidImageIsNotRefusedOnTheSizeTheIdSeemsToName) {
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    sim::FlashConfig flash = sim::PresetConfig(sim::FlashPreset::kCommon2MiB);
    flash.id = {0x20, 0xBA, 0x10};
    flash.size = 256 * 1024;
    flash.protectBits = 2;
    auto chip = std::make_shared<sim::Qv4820Model>(clock, flash);
    bus.AttachProduct("vid_a7d6&pid_f017", chip);
    QuorvexUsb usb{bus};
    usb.SetPropertyMode(true);
    usb.SetIdText("vid_a7d6&pid_f017");
    ASSERT_TRUE(usb.Find());
    FirmwareImage image;
    const std::uint32_t length = 100 * 1024;
    image.data.resize(length);
    for (std::uint32_t i = 0; i < length; ++i) image.data[i] = static_cast<std::uint8_t>(i * 7);
    image.length = length;
    RecordingReporter reporter;
    FlashTarget target{usb, image};
    FlashSelection selection;
    FlashRun run{reporter};

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess) << reporter.LastInfo();

    EXPECT_TRUE(std::equal(image.data.begin(), image.data.begin() + length,
                           chip->Flash().Contents().begin()));
    EXPECT_TRUE(reporter.warnings.empty());
}

}  // namespace
}  // namespace qv

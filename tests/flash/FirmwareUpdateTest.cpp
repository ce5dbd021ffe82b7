// The one-button update end to end on the virtual product.

#include "flash/FlashWaits.h"
#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

struct PresetCase {
    sim::FlashPreset preset;
    std::size_t blockSize;
};

// Test lists name a case by its block size alone.
void PrintTo(const PresetCase& c, std::ostream* out) {
    *out << c.blockSize << "-byte blocks";
}

class FirmwareUpdatePresetTest : public FlashFixture,
                                 public ::testing::WithParamInterface<PresetCase> {
  protected:
    FirmwareUpdatePresetTest() : FlashFixture(GetParam().preset) {}
};

TEST_P(FirmwareUpdatePresetTest, WritesTheImageProtectsTheFlashAndLeavesIsp) {
    chip->Flash().Preload(0, std::vector<std::uint8_t>(0x3000, 0x00));  // old firmware
    LoadRandomImage(0x2345);

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(FlashBytes(0, image.length), ImageBytes(image.length));
    EXPECT_EQ(FlashBytes(image.length, 0x3000 - image.length),
              std::vector<std::uint8_t>(0x3000 - image.length, 0xFF));
    EXPECT_EQ(chip->Flash().Status(), 0xFC);  // every protect bit set, idle
    EXPECT_TRUE(reporter.warnings.empty());
    EXPECT_TRUE(reporter.failures.empty());
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_EQ(target.programBlockSize, GetParam().blockSize);
    const auto lengths = ProgramDataLengths();
    ASSERT_FALSE(lengths.empty());
    EXPECT_TRUE(std::all_of(lengths.begin(), lengths.end(),
                            [](std::size_t n) { return n == GetParam().blockSize; }));
    // Blocks that are all 0xFF are not sent.
    EXPECT_LT(lengths.size() * GetParam().blockSize, image.length);

    const std::vector<std::string> steps = {
        "Enter ISP Mode",        "Clear Status register", "Start Blanking Check",
        "Blanking Success",      "Start Programming",     "Programming Success",
        "Start Verifying Check", "Verifying Success",     "Firmware update success!"};
    std::vector<std::string> shown;
    std::copy_if(reporter.stepText.begin(), reporter.stepText.end(), std::back_inserter(shown),
                 [](const std::string& t) { return t.rfind("Flash Erase All ", 0) != 0; });
    EXPECT_EQ(shown, steps);
}

INSTANTIATE_TEST_SUITE_P(Presets, FirmwareUpdatePresetTest,
                         ::testing::Values(PresetCase{sim::FlashPreset::kCommon2MiB, 256},
                                           PresetCase{sim::FlashPreset::kSmallPage1MiB, 32}),
                         [](const auto& info) {
                             return "Pages" + std::to_string(info.param.blockSize);
                         });

using FirmwareUpdateTest = FlashFixture;

// Success is what the flash holds: an unplug before the verify has read the last block fails
// the update; one in the closing steps leaves a verified image, and a warning.
TEST_F(FirmwareUpdateTest, UnplugReportsSuccessOnlyOnceTheImageIsVerified) {
    LoadRandomImage(0x1800);
    ASSERT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);
    const auto requests = Requests();
    const auto total = static_cast<std::int64_t>(requests.size());
    // Requests before the closing steps, which begin with the write enable before 01 FF.
    const std::int64_t closing =
        std::find_if(requests.begin(), requests.end(),
                     [](const SentRequest& r) {
                         return r.data == std::vector<std::uint8_t>{0x01, 0xFF};
                     }) -
        requests.begin() - 1;
    // The last three requests leave ISP mode: 0x85, then the port release in bank 13.
    for (const std::int64_t after :
         {std::int64_t{0}, std::int64_t{4}, total / 20, total / 5, total / 2, total * 4 / 5,
          closing - 1, closing, total - 12, total - 3}) {
        SCOPED_TRACE(after);
        sim::VirtualClock clock2;
        sim::VirtualBus bus2{clock2};
        auto chip2 = std::make_shared<sim::Qv4820Model>(clock2);
        const sim::DeviceId id = bus2.AttachProduct("vid_a7d6&pid_f017", chip2);
        QuorvexUsb usb2{bus2};
        usb2.SetPropertyMode(true);
        usb2.SetIdText("vid_a7d6&pid_f017");
        ASSERT_TRUE(usb2.Find());
        bus2.SetTransferFaults(id, {.unplugAfter = after});
        RecordingReporter reporter2;
        FlashTarget target2{usb2, image};
        FlashRun run2{reporter2};
        const bool verified = after >= closing;

        EXPECT_EQ(RunFirmwareUpdate(target2, run2),
                  verified ? SequenceOutcome::kSuccess : SequenceOutcome::kFailed);
        EXPECT_EQ(reporter2.LastStep() == "Firmware update success!", verified);
        // Gone in the closing steps: the protect step is a warning; gone with the way out of
        // ISP mode, from a device that answered until then, is a restart.
        if (verified) {
            EXPECT_EQ(reporter2.warnings.empty(), after == total - 3);
        }
        EXPECT_EQ(bus2.OpenHandleCount(), 0);
    }
}

TEST_F(FirmwareUpdateTest, EraseThatNeverEndsSkipsTheWorkButStillProtectsAndLeavesIsp) {
    LoadRandomImage(0x400);
    chip->SetFlashStuckBusy(true);

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(reporter.LastStep(), "Erase Flash Fail");
    const auto requests = Requests();
    const auto erase = std::find_if(requests.begin(), requests.end(), [](const SentRequest& r) {
        return r.request == 0x80 && r.data == std::vector<std::uint8_t>{0xC7};
    });
    ASSERT_NE(erase, requests.end());
    // Status reads from the erase up to the protecting status write.
    const auto protect = std::find_if(erase, requests.end(), [](const SentRequest& r) {
        return r.request == 0x80 && r.data == std::vector<std::uint8_t>{0x01, 0xFF};
    });
    ASSERT_NE(protect, requests.end());
    // The erase was awaited (for how long: FlashWaitsTest).
    EXPECT_GT(std::count_if(erase, protect,
                            [](const SentRequest& r) {
                                return r.request == 0x81 &&
                                       r.data == std::vector<std::uint8_t>{0x05};
                            }),
              0);
    EXPECT_TRUE(FlashInstructions(0x03).empty());  // no blank check or verify
    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_EQ(requests.end() - std::find_if(requests.begin(), requests.end(),
                                            [](const SentRequest& r) { return r.request == 0x85; }),
              3);
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(FirmwareUpdateTest, ByteThatReadsBackWrongFailsTheVerifyAtItsAddress) {
    LoadRandomImage(0x1000);
    reporter.onStep = [&](const std::string& text) {
        if (text == "Start Verifying Check") chip->SetFlashFlippedBits(0x0A17, 0x10);
    };

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(reporter.LastInfo(), "Verifying Fail at 0x000A17");
    EXPECT_EQ(reporter.LastStep(), "Start Verifying Check");
    EXPECT_EQ(chip->Flash().Status(), 0xFC);
    EXPECT_FALSE(chip->IspModeOn());
}

TEST_F(FirmwareUpdateTest, ProgrammingFailureNamesItsBlockAndKeepsTheStepText) {
    LoadRandomImage(0x1000);
    reporter.onStep = [&](const std::string& text) {
        if (text == "Start Programming") chip->SetFlashStuckBusy(true);
    };

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    // The first block's program never ends, so the second cannot start.
    EXPECT_EQ(reporter.LastInfo(), "Programming Fail at 0x000100");
    EXPECT_EQ(reporter.LastStep(), "Start Programming");
    EXPECT_EQ(ProgramDataLengths().size(), 1u);
    EXPECT_EQ(FlashInstructions(0x01).size(), 2u);  // clearing and protecting
}

// A page-program data request that fails leaves the flash transaction open, and the protecting
// status write vanishes into it without a failed transfer: the update does not report success,
// and the unprotected flash is a warning that says what the status register holds.
TEST_F(FirmwareUpdateTest, FailedProgramDataLeavesNoSuccessAndWarnsOfTheMissingProtection) {
    LoadRandomImage(0x1800);
    const auto header = [](const SentRequest& r) {
        return r.request == 0x80 && r.index == 0 && r.data.at(0) == 0x02;
    };
    ASSERT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);
    const auto requests = Requests();
    // The first data request, numbered from 1 as the fault counts.
    const auto data = std::find_if(requests.begin(), requests.end(), header) - requests.begin() + 2;
    ASSERT_LT(data, static_cast<std::ptrdiff_t>(requests.size()));
    reporter = RecordingReporter();
    bus.ClearLog();
    bus.SetTransferFaults(device, {.failTransfer = data});

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    const auto failed =
        std::find_if(bus.Log().begin(), bus.Log().end(), [](const auto& r) { return !r.ok; });
    ASSERT_NE(failed, bus.Log().end());
    ASSERT_TRUE(failed != bus.Log().begin() && (failed - 1)->setup);
    EXPECT_EQ((failed - 1)->data, requests[static_cast<std::size_t>(data - 2)].data);
    EXPECT_EQ(reporter.LastStep(), "Start Programming");
    const std::uint8_t protectBits = ProtectMask(flash_parts::kEf4015);
    EXPECT_NE(chip->Flash().Status() & protectBits, protectBits);
    const auto protect = std::find_if(reporter.warnings.begin(), reporter.warnings.end(),
                                      [](const auto& w) { return w.first == FlashStep::kProtect; });
    ASSERT_NE(protect, reporter.warnings.end());
    EXPECT_TRUE(protect->second.IsFinding());
    EXPECT_NE(protect->second.Text().find("protect bits 0x1C"), std::string::npos)
        << protect->second.Text();
    EXPECT_FALSE(chip->IspModeOn());
}

TEST_F(FirmwareUpdateTest, StopSkipsTheStepsStillToComeAndStillProtectsAndLeavesIsp) {
    chip->Flash().Preload(0, std::vector<std::uint8_t>(0x1000, 0x00));
    LoadRandomImage(0x1800);
    reporter.onPump = [&] {
        if (reporter.LastStep() == "Start Blanking Check") run.stopRequested = true;
    };

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kStopped);  // stopped, not failed

    const auto& steps = reporter.stepText;
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[steps.size() - 2], "Start Blanking Check");  // stopped at its next block
    EXPECT_EQ(steps.back(), "Stopped by user");
    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_EQ(chip->Flash().Status(), 0xFC);
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);

    // The next run starts without the old request.
    reporter = RecordingReporter();
    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);
    EXPECT_EQ(FlashBytes(0, image.length), ImageBytes(image.length));
}

// Whatever the buffer holds past the image's length (here bytes another image left there),
// programming leaves that flash erased and verify expects it erased: verify compares with what
// was programmed, also where its last block reaches past the image.
TEST_F(FirmwareUpdateTest, BytesPastTheImageLengthAreNeitherProgrammedNorExpected) {
    for (const std::uint32_t length : {0x6C00u, 0x6C10u}) {
        SCOPED_TRACE(length);
        LoadRandomImage(0x8000);
        image.length = length;
        chip->Flash().Preload(0, std::vector<std::uint8_t>(0x8000, 0x00));

        EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

        EXPECT_EQ(FlashBytes(0, length), ImageBytes(length));
        EXPECT_EQ(FlashBytes(length, 0x8000 - length),
                  std::vector<std::uint8_t>(0x8000 - length, 0xFF));
    }
}

TEST_F(FirmwareUpdateTest, ImageOfErasedBytesProgramsNothing) {
    std::fill_n(image.data.begin(), 0x2000, 0xFF);
    image.length = 0x2000;

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_EQ(reporter.LastStep(), "Firmware update success!");
}

TEST_F(FirmwareUpdateTest, EmptyImageChecksByteZeroOnly) {
    image.length = 0;

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    const auto reads = FlashInstructions(0x03);
    ASSERT_EQ(reads.size(), 2u);  // blank check and verify, one block each
    EXPECT_EQ(AddressOf(reads[0]), 0u);
    EXPECT_EQ(AddressOf(reads[1]), 0u);
    EXPECT_TRUE(ProgramDataLengths().empty());
}

TEST_F(FirmwareUpdateTest, ChipThatRefusesIspModeIsNotErased) {
    LoadRandomImage(0x400);
    chip->SetIspEntryRefused(true);

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(reporter.LastStep(), "Enter ISP Mode");
    EXPECT_TRUE(reporter.SawInfo("Enter ISP Mode Fail"));
    EXPECT_TRUE(FlashInstructions(0xC7).empty());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

// The 1 MiB flash with 32-byte pages: images up to its very end, and beyond.
class SmallFlashUpdateTest : public FlashFixture {
  protected:
    SmallFlashUpdateTest() : FlashFixture(sim::FlashPreset::kSmallPage1MiB) {}
    static constexpr std::uint32_t kFlashSize = 1u << 20;
};

TEST_F(SmallFlashUpdateTest, ImageLargerThanTheFlashIsRefusedBeforeTheErase) {
    LoadRandomImage(kFlashSize + 16);

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(reporter.LastStep(), "Image does not fit in the 1024 KiB flash");
    EXPECT_TRUE(FlashInstructions(0xC7).empty());
    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(SmallFlashUpdateTest, ImageFillingTheWholeFlashVerifies) {
    bus.SetLogLimit(0);
    LoadRandomImage(kFlashSize);

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(FlashBytes(0, kFlashSize), ImageBytes(kFlashSize));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A stop raised while the update lets messages run ends it at the next block of the step under
// way (a chip erase runs to its end), and the flash is still protected and ISP mode left.
TEST_F(FirmwareUpdateTest, AStopEndsTheUpdateBeforeItsNextStepWithTheClosingSteps) {
    struct Case {
        const char* during;  // the step text shown when the stop comes
        bool erased, blankChecked, programmed, verified;
    };
    const std::vector<Case> cases{
        {"Enter ISP Mode", false, false, false, false},
        {"Flash Erase All ", true, false, false, false},
        {"Start Blanking Check", true, false, false, false},
        {"Start Programming", true, true, false, false},
        {"Start Verifying Check", true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.during);
        chip->Flash().Preload(0, std::vector<std::uint8_t>(0x1000, 0x00));
        LoadRandomImage(0x800);
        reporter = RecordingReporter();
        reporter.onPump = [&] {
            if (reporter.LastStep().rfind(c.during, 0) == 0) run.stopRequested = true;
        };
        bus.ClearLog();
        EXPECT_EQ(RunFirmwareUpdate(target, run),
                  c.verified ? SequenceOutcome::kSuccess : SequenceOutcome::kStopped);

        EXPECT_EQ(reporter.LastStep(), c.verified ? "Firmware update success!" : "Stopped by user");
        EXPECT_EQ(!FlashInstructions(0xC7).empty(), c.erased);
        const auto& steps = reporter.stepText;
        EXPECT_EQ(std::find(steps.begin(), steps.end(), "Blanking Success") != steps.end(),
                  c.blankChecked);
        EXPECT_EQ(FlashBytes(0, 0x800) == ImageBytes(0x800), c.programmed);
        EXPECT_EQ(chip->Flash().Status() & 0x1C, 0x1C);
        EXPECT_FALSE(chip->IspModeOn());
        EXPECT_EQ(bus.OpenHandleCount(), 0);
    }
}

}  // namespace
}  // namespace qv

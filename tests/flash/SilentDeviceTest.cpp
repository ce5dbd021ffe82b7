// A device that stops answering, at any stage of an operation, ends that operation within a few
// seconds of device time, saying so; the closing steps are tried once each.

#include "chip/Parameters.h"
#include "chip/Registers.h"
#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

enum class Operation { kUpdate, kAuto, kIspPageErase, kI2cRead, kParamSettings };

struct SilentCase {
    const char* name;
    Operation operation;
    const char* after;      // the text after which the device falls silent; nullptr: from the start
    bool unplug;            // unplugged there rather than silent
    int closingTries;       // closing steps still tried after the device stopped answering
    bool succeeds = false;  // the image was verified before: the closing steps only warn
};

void PrintTo(const SilentCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr std::uint64_t kSecond = 1'000'000;

bool StoppedAnswering(const std::string& reason) {
    return reason.rfind("the device stopped answering", 0) == 0;
}

class SilentDeviceTest : public FlashFixture, public ::testing::WithParamInterface<SilentCase> {
  protected:
    void FallSilent() {
        if (fellSilentAt_) return;
        fellSilentAt_ = clock.NowMicros();
        if (GetParam().unplug) {
            bus.Detach(device);
        } else {
            bus.SetTransferFaults(device, {.silentAfter = 0});
        }
    }
    // Watches the texts the operation shows, for the one that silences the device.
    void ArmTrigger() {
        const char* after = GetParam().after;
        if (after == nullptr) {
            FallSilent();
            return;
        }
        reporter.onStep = [this, after](const std::string& text) {
            if (text == after) FallSilent();
        };
        reporter.onPump = [this, after] {
            if (reporter.LastInfo() == after) FallSilent();
        };
    }
    // Runs the operation; true when it reported success.
    bool Run() {
        switch (GetParam().operation) {
            case Operation::kUpdate:
                return RunFirmwareUpdate(target, run) == SequenceOutcome::kSuccess;
            case Operation::kAuto:
                return RunAutoSequence(target, selection, run, {.protect = true}) ==
                       SequenceOutcome::kSuccess;
            case Operation::kIspPageErase: {  // as qvtool flash erase runs it
                const bool entered = EnterOrLeaveIsp(usb, reporter, selection.ispModeActive);
                const bool erased = entered && EraseFlash(target, selection, run);
                return EnterOrLeaveIsp(usb, reporter, selection.ispModeActive) && erased;
            }
            case Operation::kI2cRead: {
                std::uint8_t bytes[4] = {};
                usb.Open();
                I2cMasterEnable(usb);
                const bool read = I2cRead(usb, 0x20, 0x00, sizeof bytes, bytes);
                usb.Close();
                return read;
            }
            case Operation::kParamSettings:
                return ReadSystemSettings(usb).has_value();
        }
        return false;
    }

    std::optional<std::uint64_t> fellSilentAt_;
};

TEST_P(SilentDeviceTest, EndsWithinTheBudgetSayingTheDeviceStoppedAnswering) {
    LoadRandomImage(0x1800);
    ArmTrigger();

    EXPECT_EQ(Run(), GetParam().succeeds);

    ASSERT_TRUE(fellSilentAt_) << "the device never fell silent";
    // Each unanswered transfer costs its time-out; the sleeps between polls add little.
    const std::uint64_t budget =
        GetParam().unplug
            ? kSecond
            : (QuorvexUsb::kSilenceLimit + GetParam().closingTries) * kSecond + kSecond / 10;
    EXPECT_LE(clock.NowMicros() - *fellSilentAt_, budget);
    std::vector<std::string> reasons{usb.LastFailure().text()};
    for (const auto& [step, reason] : reporter.failures) reasons.push_back(reason.Text());
    for (const auto& [step, reason] : reporter.warnings) reasons.push_back(reason.Text());
    EXPECT_TRUE(std::any_of(reasons.begin(), reasons.end(), StoppedAnswering));
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, SilentDeviceTest,
    ::testing::Values(
        SilentCase{"UpdateEnterIsp", Operation::kUpdate, nullptr, false, 2},
        SilentCase{"UpdateEraseWait", Operation::kUpdate, "Flash Erase All .", false, 2},
        SilentCase{"UpdateProgram", Operation::kUpdate, "Start Programming", false, 2},
        SilentCase{"UpdateVerify", Operation::kUpdate, "Start Verifying Check", false, 2},
        SilentCase{"UpdateProtect", Operation::kUpdate, "Verifying Success", false, 2, true},
        SilentCase{"UpdateUnplugInEraseWait", Operation::kUpdate, "Flash Erase All .", true, 2},
        SilentCase{"AutoEraseWait", Operation::kAuto, "Flash Erase All .", false, 2},
        SilentCase{"AutoProgram", Operation::kAuto, "Start Programming", false, 2},
        SilentCase{"AutoUnplugInEraseWait", Operation::kAuto, "Flash Erase All .", true, 2},
        SilentCase{"IspPageEraseWait", Operation::kIspPageErase, "Flash Erase All .", false, 1},
        SilentCase{"I2cRead", Operation::kI2cRead, nullptr, false, 0},
        SilentCase{"ParamSettings", Operation::kParamSettings, nullptr, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

using SilentLinkTest = FlashFixture;

TEST_F(SilentLinkTest, AnAnsweringTransferOrANewSearchEndsTheSilence) {
    ASSERT_TRUE(usb.Open());
    std::uint8_t value = 0;
    bus.SetTransferFaults(device, {.silentAfter = 0});
    for (int i = 0; i < QuorvexUsb::kSilenceLimit - 1; ++i) EXPECT_FALSE(RegRead(usb, 1, value));
    EXPECT_FALSE(usb.StoppedAnswering());
    EXPECT_FALSE(RegRead(usb, 1, value));
    EXPECT_TRUE(usb.StoppedAnswering());
    EXPECT_TRUE(StoppedAnswering(usb.LastFailure().text())) << usb.LastFailure().text();

    // Stopped: nothing more is sent, but one more try is, and reopening keeps the state.
    const std::size_t sent = bus.Log().size();
    EXPECT_FALSE(RegRead(usb, 1, value));
    EXPECT_EQ(bus.Log().size(), sent);
    usb.Close();
    ASSERT_TRUE(usb.Open());
    bus.SetTransferFaults(device, {});  // answers again
    EXPECT_FALSE(RegRead(usb, 1, value));
    usb.TryOnceMore();
    EXPECT_TRUE(RegRead(usb, 1, value));
    EXPECT_FALSE(usb.StoppedAnswering());

    // Unanswered transfers count only in a row.
    for (const bool silent : {true, false, true}) {
        bus.SetTransferFaults(device, {.silentAfter = silent ? 0 : -1});
        const int transfers = silent ? QuorvexUsb::kSilenceLimit - 1 : 1;
        for (int i = 0; i < transfers; ++i) EXPECT_NE(RegRead(usb, 1, value), silent);
    }
    EXPECT_FALSE(usb.StoppedAnswering());
    EXPECT_FALSE(RegRead(usb, 1, value));
    EXPECT_TRUE(usb.StoppedAnswering());

    // Finding the device again starts afresh.
    usb.Close();
    ASSERT_TRUE(usb.Probe());
    EXPECT_FALSE(usb.StoppedAnswering());
    EXPECT_TRUE(usb.LastFailure().ok());
}

}  // namespace
}  // namespace qv

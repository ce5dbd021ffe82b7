// Why a device call failed reaches the link and the reporter's (step, reason), beside the
// texts the window shows.

#include "flash/IspOperations.h"
#include "flash/UpdateSequences.h"
#include "platform/ForwardingDeviceApi.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

// Passes every call to the virtual bus, except the open or the I/O control chosen to fail the
// way a system's device interface fails them.
class FailingApi final : public ForwardingDeviceApi {
  public:
    explicit FailingApi(DeviceApi& inner) : ForwardingDeviceApi(inner) {}

    std::optional<DeviceResult> openFailure;
    std::optional<DeviceResult> ioFailure;  // the next I/O control fails so, once

    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override {
        if (openFailure) return *openFailure;
        return Inner().OpenPath(path, handle);
    }
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out,
                           std::uint32_t outSize) override {
        if (ioFailure) {
            const DeviceResult failure = *ioFailure;
            ioFailure.reset();
            return failure;
        }
        return Inner().IoControl(handle, code, in, inSize, out, outSize);
    }
};

const DeviceResult kNoPermission = DeviceResult::Failure(
    FailureKind::kPermission, "opening the device: Access denied (insufficient permissions)");
const DeviceResult kTimedOut =
    DeviceResult::Failure(FailureKind::kTimedOut, "control transfer: Operation timed out");

class FailureReasonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bus.AttachProduct("vid_a7d6&pid_f017", chip);
        usb.SetPropertyMode(true);
        usb.SetIdText("vid_a7d6&pid_f017");
        ASSERT_TRUE(usb.Find());
        image.data.assign(kImageCapacity, 0xFF);
        std::fill_n(image.data.begin(), 0x400, 0x00);
        image.length = 0x400;
    }

    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    std::shared_ptr<sim::Qv4820Model> chip = std::make_shared<sim::Qv4820Model>(clock);
    FailingApi api{bus};
    QuorvexUsb usb{api};
    FirmwareImage image;
    RecordingReporter reporter;
    FlashContext context{usb, image, reporter};
};

struct UpdateCase {
    const char* name;
    bool refuseOpen;
    const char* timeOutAfter;  // the step text after which the next transfer times out
    FlashStep step;
    DeviceResult reason;
    const char* shown;  // the window's text for the failure
};

class UpdateFailureTest : public FailureReasonTest,
                          public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateFailureTest, ReportsTheFirstFailedStepWithItsReason) {
    const UpdateCase& c = GetParam();
    if (c.refuseOpen) api.openFailure = kNoPermission;
    reporter.onStep = [&](const std::string& text) {
        if (c.timeOutAfter != nullptr && text == c.timeOutAfter) api.ioFailure = kTimedOut;
    };
    bus.ClearLog();

    EXPECT_FALSE(RunFirmwareUpdate(context));

    ASSERT_FALSE(reporter.failures.empty());
    EXPECT_EQ(reporter.failures.front().first, c.step);
    EXPECT_EQ(reporter.failures.front().second, c.reason);
    EXPECT_TRUE(reporter.SawInfo(c.shown));
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    if (c.refuseOpen) {
        EXPECT_EQ(usb.LastFailure(), kNoPermission);
        EXPECT_TRUE(bus.Log().empty());  // nothing was sent without a handle
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, UpdateFailureTest,
    ::testing::Values(UpdateCase{"NoPermission", true, nullptr, FlashStep::kOpen, kNoPermission,
                                 "Enter ISP Mode Fail"},
                      UpdateCase{"EnterIspTimesOut", false, "Enter ISP Mode", FlashStep::kEnterIsp,
                                 kTimedOut, "Enter ISP Mode Fail"},
                      UpdateCase{"ProtectTimesOut", false, "Verifying Success", FlashStep::kProtect,
                                 kTimedOut, "Flash Protect Fail"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FailureReasonTest, AStepThatFindsTheFlashWrongSaysWhatItFound) {
    chip->SetFlashFlippedBits(0x10, 0x01);  // reads back as 0x01 where 0x00 was written
    EXPECT_EQ(RunAutoSequence(context, {.blank = false}), SequenceOutcome::kFailed);
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_EQ(reporter.failures[0].first, FlashStep::kVerify);
    EXPECT_EQ(reporter.failures[0].second.kind(), FailureKind::kNone);
    EXPECT_EQ(reporter.failures[0].second.text(), "the flash differs from the image");
}

TEST_F(FailureReasonTest, IspPageOperationsReportAnOpenFailureOnceAndKeepTheirTexts) {
    api.openFailure = kNoPermission;
    EXPECT_FALSE(ReadChipId(context));
    EXPECT_FALSE(BlankCheckFlash(context));
    EXPECT_TRUE(reporter.SawInfo("Blanking Fail at 0x000000"));
    const std::vector<std::pair<FlashStep, DeviceResult>> expected = {
        {FlashStep::kOpen, kNoPermission}, {FlashStep::kOpen, kNoPermission}};
    EXPECT_EQ(reporter.failures, expected);
    EXPECT_EQ(usb.LastFailure(), kNoPermission);
}

TEST_F(FailureReasonTest, ACommandThatTimesOutIsReportedAsTheStepsReason) {
    api.ioFailure = kTimedOut;
    EXPECT_FALSE(SendWriteEnable(context));
    const std::vector<std::pair<FlashStep, DeviceResult>> expected = {
        {FlashStep::kWriteEnable, kTimedOut}};
    EXPECT_EQ(reporter.failures, expected);
    EXPECT_EQ(usb.LastFailure(), kTimedOut);
}

}  // namespace
}  // namespace qv

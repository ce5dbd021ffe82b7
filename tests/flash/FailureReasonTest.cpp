// Why a device call failed reaches the link and the reporter's (step, reason), beside the
// texts the window shows.

#include "flash/IspOperations.h"
#include "flash/UpdateSequences.h"
#include "platform/ForwardingDeviceApi.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

const DeviceResult kNoPermission = DeviceResult::Failure(
    FailureKind::kPermission, "opening the device: Access denied (insufficient permissions)");
const DeviceResult kTimedOut =
    DeviceResult::Failure(FailureKind::kTimedOut, "control transfer: Operation timed out");
const DeviceResult kStalled =
    DeviceResult::Failure(FailureKind::kStalled, "control transfer: Pipe error");

// Passes every call to the virtual bus, except the open or the I/O control chosen to fail the
// way a system's device interface fails them.
class FailingApi final : public ForwardingDeviceApi {
  public:
    explicit FailingApi(DeviceApi& inner) : ForwardingDeviceApi(inner) {}

    std::optional<DeviceResult> openFailure;
    std::optional<DeviceResult> ioFailure;  // the next I/O control fails so, once
    // The first vendor request with this code whose data start so fails, once.
    struct RequestFailure {
        std::uint8_t request;
        std::vector<std::uint8_t> data;
        DeviceResult failure;
    };
    std::optional<RequestFailure> requestFailure;

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
        // The property block carries the request code at 25 and the data from 40.
        if (requestFailure && inSize >= 40 + requestFailure->data.size() &&
            in[25] == requestFailure->request &&
            std::equal(requestFailure->data.begin(), requestFailure->data.end(), in + 40)) {
            const DeviceResult failure = requestFailure->failure;
            requestFailure.reset();
            return failure;
        }
        return Inner().IoControl(handle, code, in, inSize, out, outSize);
    }
};

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
    FlashTarget target{usb, image};
    FlashSelection selection;
    FlashRun run{reporter};
};

using Reported = std::vector<std::pair<FlashStep, StepReason>>;

Reported One(FlashStep step, const DeviceResult& failure) {
    return {{step, StepReason::DeviceFailure(failure)}};
}

struct UpdateCase {
    const char* name;
    bool refuseOpen;
    std::uint8_t request;            // the vendor request that fails (0: none) ...
    std::vector<std::uint8_t> data;  // ... with data that start so
    FlashStep step;
    DeviceResult reason;
    const char* shown;  // the window's text for the failure; null for a warning
    bool updated;       // the image was programmed and verified: a warning, not a failure
};

class UpdateFailureTest : public FailureReasonTest,
                          public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateFailureTest, ReportsTheStepWithItsReasonAsAFailureOrAWarning) {
    const UpdateCase& c = GetParam();
    if (c.refuseOpen) api.openFailure = kNoPermission;
    if (c.request != 0) api.requestFailure = {c.request, c.data, c.reason};
    bus.ClearLog();

    EXPECT_EQ(RunFirmwareUpdate(target, run) == SequenceOutcome::kSuccess, c.updated);

    EXPECT_EQ(c.updated ? reporter.warnings : reporter.failures, One(c.step, c.reason));
    if (c.updated) {
        EXPECT_EQ(reporter.failures, Reported{});
    }
    if (c.shown != nullptr) {
        EXPECT_TRUE(reporter.SawInfo(c.shown) || reporter.LastStep() == c.shown) << c.shown;
    }
    EXPECT_EQ(reporter.LastStep() == "Firmware update success!", c.updated);
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    if (c.refuseOpen) {
        EXPECT_EQ(usb.LastFailure(), kNoPermission);
        EXPECT_TRUE(bus.Log().empty());  // nothing was sent without a handle
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, UpdateFailureTest,
    ::testing::Values(
        UpdateCase{"NoPermission",
                   true,
                   0,
                   {},
                   FlashStep::kOpen,
                   kNoPermission,
                   "Enter ISP Mode Fail",
                   false},
        UpdateCase{"EnterIspTimesOut",
                   false,
                   0x84,
                   {},
                   FlashStep::kEnterIsp,
                   kTimedOut,
                   "Enter ISP Mode Fail",
                   false},
        // (An id read that times out once is read again: PreEraseChecksTest.)
        UpdateCase{"EraseTimesOut",
                   false,
                   0x80,
                   {0xC7},
                   FlashStep::kErase,
                   kTimedOut,
                   "Erase Flash Fail",
                   false},
        UpdateCase{"ProtectTimesOut",
                   false,
                   0x80,
                   {0x01, 0xFF},
                   FlashStep::kProtect,
                   kTimedOut,
                   nullptr,
                   true},
        // Refused while the device stays: worth a warning (going away is a restart).
        UpdateCase{
            "LeaveIspStalls", false, 0x85, {}, FlashStep::kLeaveIsp, kStalled, nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FailureReasonTest, AStepThatFindsTheFlashWrongSaysWhatItFound) {
    chip->SetFlashFlippedBits(0x10, 0x01);  // reads back as 0x01 where 0x00 was written
    EXPECT_EQ(RunAutoSequence(target, selection, run, {.blank = false}), SequenceOutcome::kFailed);
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_EQ(reporter.failures[0].first, FlashStep::kVerify);
    EXPECT_TRUE(reporter.failures[0].second.IsFinding());
    EXPECT_STREQ(reporter.failures[0].second.KindName(), "finding");
    EXPECT_EQ(reporter.failures[0].second.Text(), "the flash differs from the image");
}

TEST_F(FailureReasonTest, IspPageOperationsReportAnOpenFailureOnceAndKeepTheirTexts) {
    api.openFailure = kNoPermission;
    EXPECT_FALSE(ReadChipId(target, reporter));
    EXPECT_FALSE(BlankCheckFlash(target, selection, run));
    EXPECT_TRUE(reporter.SawInfo("Blanking Fail at 0x000000"));
    Reported expected = One(FlashStep::kOpen, kNoPermission);
    expected.push_back(expected.front());
    EXPECT_EQ(reporter.failures, expected);
    EXPECT_EQ(usb.LastFailure(), kNoPermission);
}

TEST_F(FailureReasonTest, ACommandThatTimesOutIsReportedAsTheStepsReason) {
    api.ioFailure = kTimedOut;
    EXPECT_FALSE(SendWriteEnable(usb, reporter));
    EXPECT_EQ(reporter.failures, One(FlashStep::kWriteEnable, kTimedOut));
    EXPECT_EQ(usb.LastFailure(), kTimedOut);
}

}  // namespace
}  // namespace qv

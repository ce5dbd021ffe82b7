#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "sim/VirtualBus.h"
#include "usb/QuorvexUsb.h"

namespace qv::sim {
namespace {

// Stalls request 0xEE; restarts on request 0xBB, as a chip may when it leaves ISP mode.
class StallingModel : public DeviceModel {
  public:
    bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) override {
        if (setup.IsDeviceToHost() && setup.length) data[0] = 0xA5;
        restarting_ = setup.request == 0xBB;
        return setup.request != 0xEE;
    }
    bool TakeRestart() override { return std::exchange(restarting_, false); }

  private:
    bool restarting_ = false;
};

struct BusFixture : ::testing::Test {
    VirtualClock clock;
    VirtualBus bus{clock};
    QuorvexUsb usb{bus};
    DeviceId device = bus.AttachBareChip("vid_a7d6&pid_6000", std::make_shared<StallingModel>());
    void SetUp() override {
        usb.SetIdText("vid_a7d6&pid_6000");
        ASSERT_TRUE(usb.Find());
        ASSERT_TRUE(usb.Open());
    }
    bool Send(std::uint8_t request) {
        std::uint8_t byte = 0;
        return usb.ControlTransfer({{.requestType = 0xC3, .request = request, .length = 1}, &byte});
    }
};

TEST_F(BusFixture, RefusesADeviatingBlockAndSaysWhy) {
    std::uint8_t block[24] = {};
    block[4] = 0xC3;
    block[5] = 0x91;
    block[20] = 1;  // stray byte in the zero fill
    std::uint8_t out = 0;
    // Go around the link to send a damaged carrier.
    FileHandle handle = kNoFileHandle;
    ASSERT_TRUE(bus.OpenPath(bus.PathOf(device), handle).ok());
    EXPECT_EQ(bus.IoControl(handle, 0x22242E, block, 24, &out, 1),
              DeviceResult::Failure(FailureKind::kRefused, "plain block differs from its layout"));
    EXPECT_EQ(bus.Log().back().failure, "plain block differs from its layout");
    bus.CloseHandle(handle);
}

TEST_F(BusFixture, TransferFaultsCountVendorRequests) {
    bus.SetTransferFaults(device, {.failTransfer = 2, .failEvery = 5});
    std::vector<bool> results;
    for (int i = 0; i < 6; ++i) results.push_back(Send(0x91));
    EXPECT_EQ(results, (std::vector<bool>{true, false, true, true, false, true}));
    EXPECT_FALSE(Send(0xEE));  // the model stalls it
    EXPECT_EQ(bus.Log().back().failure, "request stalled");
}

TEST_F(BusFixture, TheLinkKeepsTheBussReasonForAFailedRequest) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::uint8_t request;
        DeviceResult reason;
    };
    const Case cases[] = {
        {"stall", [] {}, 0xEE, DeviceResult::Failure(FailureKind::kStalled, "request stalled")},
        {"fault", [&] { bus.SetTransferFaults(device, {.failTransfer = 1}); }, 0x91,
         DeviceResult::Failure(FailureKind::kOther, "transfer fault")},
        {"unplug", [&] { bus.SetTransferFaults(device, {.unplugAfter = 0}); }, 0x91,
         DeviceResult::Failure(FailureKind::kGone, "device unplugged")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        EXPECT_FALSE(Send(c.request));
        EXPECT_EQ(usb.LastFailure(), c.reason);
        EXPECT_TRUE(Send(0x91) || c.reason.kind() == FailureKind::kGone);
        EXPECT_EQ(usb.LastFailure(), c.reason);  // kept past later calls
    }
    // Once unplugged, opening says so too, and a transfer without a handle keeps that reason.
    EXPECT_FALSE(usb.Open());
    EXPECT_EQ(usb.LastFailure().kind(), FailureKind::kNotFound);
    EXPECT_FALSE(Send(0x91));
    EXPECT_EQ(usb.LastFailure().kind(), FailureKind::kNotFound);
}

TEST_F(BusFixture, FindingNoMatchingDeviceSaysWhichIdWasMissing) {
    usb.SetIdText("vid_a7d6&pid_f099");
    EXPECT_FALSE(usb.Find());
    EXPECT_EQ(usb.LastFailure(),
              DeviceResult::Failure(FailureKind::kNotFound,
                                    "no device whose path contains \"vid_a7d6&pid_f099\""));
}

TEST_F(BusFixture, UnplugAfterNRequestsDetachesTheDevice) {
    bus.SetTransferFaults(device, {.unplugAfter = 3});
    EXPECT_TRUE(Send(1));
    EXPECT_TRUE(Send(2));
    EXPECT_TRUE(Send(3));
    EXPECT_FALSE(Send(4));
    EXPECT_FALSE(bus.IsAttached(device));
    EXPECT_FALSE(usb.Probe());
}

TEST_F(BusFixture, SilentAfterNRequestsTimesOutInDeviceTimeWhileStayingAttached) {
    bus.SetTransferFaults(device, {.silentAfter = 2});
    EXPECT_TRUE(Send(1));
    EXPECT_TRUE(Send(2));
    const std::uint64_t start = clock.NowMicros();
    EXPECT_FALSE(Send(3));
    EXPECT_EQ(clock.NowMicros() - start, kSilentTimeoutMicros + VirtualBus::kDefaultLatencyMicros);
    EXPECT_EQ(usb.LastFailure(),
              DeviceResult::Failure(FailureKind::kTimedOut, "transfer timed out"));
    EXPECT_TRUE(bus.IsAttached(device));
    EXPECT_TRUE(usb.Probe());
}

TEST_F(BusFixture, SleepAndLatencyAdvanceDeviceTime) {
    const std::uint64_t start = clock.NowMicros();
    bus.Sleep(10);
    EXPECT_EQ(clock.NowMicros() - start, 10'000u);
    bus.SetTransferLatencyMicros(300);
    Send(1);
    EXPECT_EQ(clock.NowMicros() - start, 10'300u);
    // No transfer takes no time: a host polling back to back still sees time pass.
    bus.SetTransferLatencyMicros(0);
    Send(1);
    EXPECT_EQ(clock.NowMicros() - start, 10'300u + VirtualBus::kMinimumLatencyMicros);
}

TEST_F(BusFixture, ARestartingDeviceLeavesTheBusAndComesBackAsANewDevice) {
    EXPECT_FALSE(Send(0xBB));
    EXPECT_EQ(usb.LastFailure().kind(), FailureKind::kGone);
    EXPECT_FALSE(bus.IsAttached(device));
    EXPECT_FALSE(usb.Probe());

    bus.Sleep(kRestartMicros / 1000);
    EXPECT_TRUE(bus.IsAttached(device));
    EXPECT_FALSE(Send(1));  // the handle from before the restart is dead
    ASSERT_TRUE(usb.Find());
    ASSERT_TRUE(usb.Open());
    EXPECT_TRUE(Send(1));
}

TEST_F(BusFixture, ADuplicatedInterfaceIsListedTwiceAndOpensAtBothPaths) {
    bus.SetDuplicateInterface(device, true);
    const std::string second = SecondInterfacePath(bus.PathOf(device));
    EXPECT_NE(second, bus.PathOf(device));
    EXPECT_EQ(second.substr(0, second.find("#{")),
              bus.PathOf(device).substr(0, bus.PathOf(device).find("#{")));
    ASSERT_TRUE(usb.Find());
    EXPECT_EQ(usb.DevicePath(), second);  // the last match wins
    ASSERT_TRUE(usb.Open());
    EXPECT_TRUE(Send(1));
}

TEST_F(BusFixture, AFailingPresenceTestLeavesVendorRequestsWorking) {
    bus.SetTransferFaults(device, {.presenceTestFails = true});
    EXPECT_FALSE(usb.Find());
    EXPECT_TRUE(usb.IsPresent());
    EXPECT_EQ(usb.LastFailure().kind(), FailureKind::kRefused);
    EXPECT_TRUE(usb.OpenFailure().ok());
    ASSERT_TRUE(usb.Open());
    EXPECT_TRUE(Send(1));
}

}  // namespace
}  // namespace qv::sim

#include <gtest/gtest.h>

#include "platform/carriers/RequestBlocks.h"
#include "sim/VirtualBus.h"
#include "usb/QuorvexUsb.h"

namespace qv {
namespace {

// Answers every request; IN requests get the request code back in each byte.
class EchoModel : public sim::DeviceModel {
  public:
    bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) override {
        ++requests;
        if (setup.IsDeviceToHost()) std::fill(data, data + setup.length, setup.request);
        return true;
    }
    int requests = 0;
};

class LinkTest : public ::testing::Test {
  protected:
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    std::shared_ptr<EchoModel> model = std::make_shared<EchoModel>();
    QuorvexUsb usb{bus};
};

TEST_F(LinkTest, StartsInPlainModeWithTheIspIdAndNothingFound) {
    EXPECT_FALSE(usb.IsPresent());
    EXPECT_FALSE(usb.InPropertyMode());
    EXPECT_STREQ(usb.IdText(), "vid_0c5e&pid_6000");
    EXPECT_STREQ(usb.DevicePath(), "");
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(LinkTest, MatchIsCaseSensitiveAndPerInterfaceClass) {
    bus.AttachWithPath(kUsbDeviceInterfaceClass, "\\\\?\\usb#VID_A7D6&PID_6000#1", model);
    bus.AttachProduct("vid_a7d6&pid_6000", model);  // right id, other class
    usb.SetIdText("vid_a7d6&pid_6000");
    EXPECT_FALSE(usb.Find());
    EXPECT_FALSE(usb.IsPresent());
    EXPECT_FALSE(usb.Probe());
}

TEST_F(LinkTest, LastMatchWinsAndUnreadableDetailIsSkipped) {
    const auto first = bus.AttachBareChip("vid_a7d6&pid_6000", model);
    const auto second = bus.AttachBareChip("vid_a7d6&pid_6000", model);
    const auto third = bus.AttachBareChip("vid_a7d6&pid_6000", model);
    bus.SetUnreadableDetail(third, true);
    usb.SetIdText("vid_a7d6&pid_6000");
    EXPECT_TRUE(usb.Find());
    EXPECT_TRUE(usb.IsPresent());
    EXPECT_EQ(usb.DevicePath(), bus.PathOf(second));
    EXPECT_NE(bus.PathOf(first), bus.PathOf(second));
    // Find runs the presence test on each match, on handles of its own.
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_EQ(bus.Log().back().code, kIoctlPlainIn);
    EXPECT_EQ(bus.Log().back().outSize, 18u);
}

TEST_F(LinkTest, FindUsesTheSupportQueryInPropertyMode) {
    bus.AttachProduct("vid_a7d6&pid_f017", model);
    usb.SetPropertyMode(true);
    usb.SetIdText("vid_a7d6&pid_f017");
    EXPECT_TRUE(usb.Find());
    ASSERT_EQ(bus.Log().size(), 1u);
    EXPECT_EQ(bus.Log()[0].code, kIoctlKsProperty);
    EXPECT_EQ(bus.Log()[0].input.size(), 24u);
    EXPECT_EQ(bus.Log()[0].outSize, 0u);
}

TEST_F(LinkTest, ClassSetFailureLeavesFindStateButClearsProbe) {
    bus.AttachBareChip("vid_0c5e&pid_6000", model);
    ASSERT_TRUE(usb.Find());
    const std::string path = usb.DevicePath();
    bus.SetClassSetFails(true);
    EXPECT_FALSE(usb.Find());
    EXPECT_TRUE(usb.IsPresent());
    EXPECT_EQ(usb.DevicePath(), path);
    EXPECT_FALSE(usb.Probe());
    EXPECT_FALSE(usb.IsPresent());
}

TEST_F(LinkTest, ProbeTracksPresenceWithoutChangingThePath) {
    const auto id = bus.AttachBareChip("vid_0c5e&pid_6000", model);
    ASSERT_TRUE(usb.Find());
    const std::string path = usb.DevicePath();
    EXPECT_TRUE(usb.Probe());
    bus.Detach(id);
    EXPECT_FALSE(usb.Probe());
    EXPECT_FALSE(usb.IsPresent());
    EXPECT_EQ(usb.DevicePath(), path);
}

TEST_F(LinkTest, TransfersNeedAnOpenHandleAndOpenTwiceHoldsOne) {
    bus.AttachBareChip("vid_0c5e&pid_6000", model);
    ASSERT_TRUE(usb.Find());
    std::uint8_t byte = 0;
    const VendorRequest read{{.requestType = 0xC3, .request = 0x91, .index = 5, .length = 1},
                             &byte};
    bus.ClearLog();
    EXPECT_FALSE(usb.ControlTransfer(read));
    EXPECT_TRUE(bus.Log().empty());

    EXPECT_TRUE(usb.Open());
    EXPECT_TRUE(usb.Open());
    EXPECT_EQ(bus.OpenHandleCount(), 1);
    EXPECT_TRUE(usb.ControlTransfer(read));
    EXPECT_EQ(byte, 0x91);
    usb.Close();
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_FALSE(usb.ControlTransfer(read));
    EXPECT_EQ(model->requests, 1);
}

TEST_F(LinkTest, UnplugFailsTransfersOnAnOpenHandle) {
    const auto id = bus.AttachProduct("vid_a7d6&pid_f017", model);
    usb.SetPropertyMode(true);
    usb.SetIdText("vid_a7d6&pid_f017");
    ASSERT_TRUE(usb.Find());
    ASSERT_TRUE(usb.Open());
    std::uint8_t value = 7;
    const VendorRequest write{{.requestType = 0x43, .request = 0x90, .length = 1}, &value};
    EXPECT_TRUE(usb.ControlTransfer(write));
    bus.Detach(id);
    EXPECT_FALSE(usb.ControlTransfer(write));
    EXPECT_EQ(bus.Log().back().failure, "device unplugged");
    usb.Close();
    EXPECT_FALSE(usb.Open());
}

TEST_F(LinkTest, OverlongPathAndIdTextAreCutNotOverflowed) {
    const std::string longPath = "\\\\?\\usb#vid_0c5e&pid_6000#" + std::string(600, 'x');
    bus.AttachWithPath(kUsbDeviceInterfaceClass, longPath, model);
    EXPECT_FALSE(usb.Find());  // the cut path no longer opens, so the presence test fails
    EXPECT_TRUE(usb.IsPresent());
    EXPECT_EQ(std::string(usb.DevicePath()), longPath.substr(0, 511));

    usb.SetIdText(std::string(80, 'v'));
    EXPECT_EQ(std::string(usb.IdText()), std::string(49, 'v'));
    usb.SetIdText("");
    EXPECT_FALSE(usb.Probe());  // an empty id text matches nothing
}

}  // namespace
}  // namespace qv

// A device opened by one program is refused to a second one as busy, before any request
// reaches it, and stays held across the opens of one piece of work. The second "program" is a
// thread with a lock of its own, which conflicts as another process would.

#include <gtest/gtest.h>

#include <future>

#include "platform/LockingDeviceApi.h"
#include "sim/VirtualBus.h"
#include "usb/DeviceScan.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace qv {
namespace {

using std::chrono::milliseconds;

class AnsweringModel : public sim::DeviceModel {
  public:
    bool HandleRequest(const ControlSetup&, std::uint8_t*) override { return true; }
};

TEST(LockingDeviceApi, ASecondProgramIsRefusedAsBusyUntilTheFirstIsDone) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    bus.AttachBareChip("vid_a7d6&pid_6000", std::make_shared<AnsweringModel>());
    LockingDeviceApi first(std::make_unique<ForwardingDeviceApi>(bus), milliseconds(0));
    const std::string path = ScanDevices(first).at(0).path;

    const auto openFromElsewhere = [&] {
        return std::async(std::launch::async,
                          [&] {
                              LockingDeviceApi second(std::make_unique<ForwardingDeviceApi>(bus),
                                                      milliseconds(50));
                              FileHandle handle = kNoFileHandle;
                              const DeviceResult result = second.OpenPath(path, handle);
                              if (result.ok()) second.CloseHandle(handle);
                              return result;
                          })
            .get();
    };
    FileHandle handle = kNoFileHandle;
    ASSERT_TRUE(first.OpenPath(path, handle).ok());
    const DeviceResult busy = openFromElsewhere();
    EXPECT_EQ(busy.kind(), FailureKind::kBusy);
    EXPECT_EQ(busy.text(), "the device is in use by process " + std::to_string(getpid()));
    EXPECT_EQ(bus.OpenHandleCount(), 1) << "the refused open reached the device";

    // Held across a close and the next open, as a whole update is.
    ASSERT_TRUE(first.Hold(path).ok());
    first.CloseHandle(handle);
    EXPECT_EQ(openFromElsewhere().kind(), FailureKind::kBusy);
    first.Release(path);
    EXPECT_TRUE(openFromElsewhere().ok());
}

TEST(LockingDeviceApi, TheLockIsNamedByTheBusAndPort) {
    EXPECT_EQ(DeviceLockReadable("\\\\?\\usb#vid_a7d6&pid_f017#1-2.3#{guid}"), "usb-1-2.3");
}

}  // namespace
}  // namespace qv

// Two programs on one emulated USB device, each a process of its own on the real libusb: the
// device's lock keeps their requests apart, and one that cannot wait for it sends nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/SystemDeviceApi.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/umockdev/UmockdevFixture.h"
#include "usb/DeviceScan.h"

namespace qv::test {
namespace {

using TwoProgramsOverLibusb = UmockdevTest;

TEST_F(TwoProgramsOverLibusb, ASecondProgramWaitsForTheFirstAndBothUpdatesAreWhole) {
    const std::vector<std::uint8_t> image = TestImage(3000);
    WriteBinary(WorkDir() / "image.bin", image);
    const auto chip = NewChip();
    EmulatedUsbDevice& device = Bus().AddProduct(0xf017, chip);
    const std::vector<std::string> update{QV_QVTOOL_PATH, "update", "--file", "image.bin", "--yes"};
    ChildProcess first(update);
    ChildProcess second(update);
    for (ChildProcess* program : {&first, &second}) {
        program->Wait();
        EXPECT_EQ(program->ExitStatus(), 0) << program->Err();
        EXPECT_TRUE(Has(program->Out(), "Firmware update success!")) << program->Out();
    }
    const std::vector<std::uint8_t>& flash = chip->Flash().Contents();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_GT(device.VendorRequests(), 0);
}

TEST_F(TwoProgramsOverLibusb, OneThatCannotWaitSaysWhoHoldsTheDeviceAndSendsNothing) {
    EmulatedUsbDevice& device = Bus().AddProduct(0xf017, NewChip());
    const std::unique_ptr<LockingDeviceApi> holder = CreateSystemDeviceApi();
    const std::vector<FoundDevice> found = ScanDevices(*holder);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(holder->Hold(found[0].path).ok());

    ChildProcess second({QV_QVTOOL_PATH, "reg", "write", "0", "5"});
    second.Wait();
    EXPECT_EQ(second.ExitStatus(), 3);
    EXPECT_EQ(second.Err(), "qvtool reg write: Tesmora K2 DAC: the device is in use by process " +
                                std::to_string(getpid()) + "; nothing was sent to it\n");
    EXPECT_EQ(device.VendorRequests(), 0);
    holder->Release(found[0].path);

    ChildProcess later({QV_QVTOOL_PATH, "reg", "write", "0", "5"});
    later.Wait();
    EXPECT_EQ(later.ExitStatus(), 0) << later.Err();
}

}  // namespace
}  // namespace qv::test

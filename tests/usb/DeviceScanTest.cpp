// A device is one device, however many interfaces it registers: the scan lists each device
// instance once, so an update never takes one chip for two.

#include <gtest/gtest.h>

#include "platform/carriers/RequestBlocks.h"
#include "sim/VirtualBus.h"
#include "usb/DeviceScan.h"

namespace qv {
namespace {

class SilentModel final : public sim::DeviceModel {
  public:
    bool HandleRequest(const ControlSetup&, std::uint8_t*) override { return true; }
};

struct ScanCase {
    const char* name;
    std::vector<std::string> productPaths;  // interfaces of the product class
    std::vector<std::string> chipPaths;     // interfaces of the USB device class
    std::size_t devices;
};

class DeviceScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(DeviceScan, ListsEachDeviceInstanceOnce) {
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    auto model = std::make_shared<SilentModel>();
    for (const std::string& path : GetParam().productPaths)
        bus.AttachWithPath(kProductInterfaceClass, path, model);
    for (const std::string& path : GetParam().chipPaths)
        bus.AttachWithPath(kUsbDeviceInterfaceClass, path, model);

    const std::vector<FoundDevice> found = ScanDevices(bus);

    ASSERT_EQ(found.size(), GetParam().devices);
    // The first interface of each device is the one kept.
    if (!GetParam().productPaths.empty()) {
        EXPECT_EQ(found[0].path, GetParam().productPaths[0]);
    }
}

const std::string kK2 = R"(\\?\usb#vid_a7d6&pid_f017&mi_00#7&2d5c8a2&0&0001)";
const std::string kProductClass = "#{50894fa4-9206-4a91-8728-cf6f268f271d}";
const std::string kUsbClass = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const std::string kLibusbK2 = R"(\\?\usb#vid_a7d6&pid_f017#1-4.2)";
const std::string kChip = R"(\\?\usb#vid_a7d6&pid_6000#5&1c0ffee&0&0003)";

INSTANTIATE_TEST_SUITE_P(
    Paths, DeviceScan,
    ::testing::Values(
        ScanCase{"OneInterface", {kK2 + kProductClass + "\\global"}, {}, 1},
        ScanCase{"TwoReferenceStrings",
                 {kK2 + kProductClass + "\\global", kK2 + kProductClass + "\\control"},
                 {},
                 1},
        // Windows spells an instance in either case.
        ScanCase{"InstanceInAnotherCase",
                 {kK2 + kProductClass + "\\global",
                  R"(\\?\USB#VID_A7D6&PID_F017&MI_00#7&2D5C8A2&0&0001)" + kProductClass},
                 {},
                 1},
        ScanCase{"TwoProducts",
                 {kK2 + kProductClass + "\\global",
                  R"(\\?\usb#vid_a7d6&pid_f017&mi_00#7&2d5c8a2&0&0002)" + kProductClass},
                 {},
                 2},
        ScanCase{"LibusbSamePort", {kLibusbK2 + kProductClass, kLibusbK2 + kProductClass}, {}, 1},
        ScanCase{"LibusbTwoPorts",
                 {kLibusbK2 + kProductClass, R"(\\?\usb#vid_a7d6&pid_f017#1-4.3)" + kProductClass},
                 {},
                 2},
        ScanCase{"BareChipTwice", {}, {kChip + kUsbClass, kChip + kUsbClass + "\\control"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv

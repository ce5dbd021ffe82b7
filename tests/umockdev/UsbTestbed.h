#pragma once
// A USB bus emulated by umockdev (sysfs, udev and the device files) that the real libusb sees:
// a root hub on bus 1 and whatever the test plugs in. Products carry an audio-control and an
// audio-streaming interface bound to the kernel's audio driver; bare chips one vendor-class
// interface. Needs the process to run under umockdev-wrapper.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/umockdev/EmulatedUsbDevice.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace qv::test {

class UsbTestbed {
  public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // False when the process does not run under umockdev-wrapper.
    static bool InMockEnvironment();

    EmulatedUsbDevice& AddProduct(std::uint16_t productId, std::shared_ptr<sim::DeviceModel> chip);
    EmulatedUsbDevice& AddBareChip(std::uint16_t vendorId, std::shared_ptr<sim::DeviceModel> chip);
    // A keyboard, held by its own driver; the tool must never talk to it.
    EmulatedUsbDevice& AddUnrelated();

    // Pulls the device out: its file stops answering and it leaves the bus.
    void Unplug(EmulatedUsbDevice& device);
    // Takes the device file's access away from the user the tests run as.
    void DenyAccess(EmulatedUsbDevice& device);

    // Everything any device recorded as a violation.
    std::vector<std::string> Violations() const;

  private:
    struct Slot {
        std::string sysPath;
        std::unique_ptr<EmulatedUsbDevice> device;
    };

    struct Interface {
        std::uint8_t interfaceClass;
        std::uint8_t subClass;
        const char* driver;  // the kernel driver bound to it
    };

    EmulatedUsbDevice& Plug(std::uint16_t vendorId, std::uint16_t productId,
                            const std::vector<Interface>& interfaces,
                            std::shared_ptr<sim::DeviceModel> model);
    Slot& SlotOf(const EmulatedUsbDevice& device);

    UMockdevTestbed* testbed_;
    std::vector<Slot> slots_;
};

}  // namespace qv::test

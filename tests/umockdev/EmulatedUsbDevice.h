#pragma once
// One USB device behind umockdev's emulated device file. Its ioctls are answered here as the
// kernel's usbfs would: control transfers go to a device model (the virtual QV4820), the device
// descriptor is answered from the descriptors, and anything that would take an interface from
// its kernel driver (claim, detach, set configuration, reset) is refused and recorded as a
// violation, as is any traffic at all to a device the tool has no business with.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/DeviceModel.h"

// umockdev's types, declared here so that its glib headers stay out of files that use Qt.
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace qv::test {

// Faults, counted in vendor requests (1-based); 0 or -1: none.
struct UsbFaults {
    int stallRequest = 0;    // this request stalls
    int timeOutRequest = 0;  // this request is never answered
    int unplugAfter = -1;    // after this many requests the device is gone
    int shortReadFrom = 0;   // from this request on, every read brings half its bytes
};

class EmulatedUsbDevice {
  public:
    // `model` null: an unrelated device that the tool must leave alone. `interfaceDrivers`: the
    // kernel driver bound to each interface ("" for none).
    EmulatedUsbDevice(std::string devNode, std::vector<std::uint8_t> descriptors,
                      std::shared_ptr<sim::DeviceModel> model,
                      std::vector<std::string> interfaceDrivers);
    ~EmulatedUsbDevice();
    EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
    EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

    const std::string& DevNode() const { return devNode_; }
    UMockdevIoctlBase* Handler() const { return handler_; }
    const std::vector<std::uint8_t>& Descriptors() const { return descriptors_; }

    void SetFaults(const UsbFaults& faults);
    // From now on every ioctl fails as on a device that has left the bus.
    void Unplug();
    bool Unplugged() const;
    int VendorRequests() const;
    std::vector<std::string> Violations() const;
    // The violations so far, which no longer count against the test.
    std::vector<std::string> TakeViolations();

  private:
    static int OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self);
    void HandleIoctl(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void AnswerGetDriver(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // The data stage's length, or a negative errno for the URB's status.
    int RunControl(std::uint8_t* buffer, int bufferLength, bool& hold);
    void Violation(std::string what);

    std::string devNode_;
    std::vector<std::uint8_t> descriptors_;
    std::shared_ptr<sim::DeviceModel> model_;
    std::vector<std::string> interfaceDrivers_;
    UMockdevIoctlBase* handler_;

    mutable std::mutex mutex_;
    UsbFaults faults_;
    bool unplugged_ = false;
    int vendorRequests_ = 0;
    std::vector<std::string> violations_;
    std::deque<UMockdevIoctlData*> completed_;  // answered URBs, handed back on reap
    std::deque<UMockdevIoctlData*> held_;       // URBs left unanswered (time-out fault)
};

}  // namespace qv::test

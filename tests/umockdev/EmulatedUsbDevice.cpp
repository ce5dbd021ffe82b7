#include "tests/umockdev/EmulatedUsbDevice.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qv::test {
namespace {

constexpr int kSetupLength = 8;
constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kVendorType = 0x40;
constexpr std::uint8_t kGetDescriptor = 6;
constexpr std::uint16_t kDeviceDescriptor = 0x0100;
constexpr std::size_t kDeviceDescriptorLength = 18;

std::string IoctlName(unsigned long request) {
    switch (request) {
        case USBDEVFS_CLAIMINTERFACE:
            return "claim interface";
        case USBDEVFS_DISCONNECT_CLAIM:
            return "detach the kernel driver and claim";
        case USBDEVFS_IOCTL:
            return "detach or attach the kernel driver";
        case USBDEVFS_SETCONFIGURATION:
            return "set configuration";
        case USBDEVFS_SETINTERFACE:
            return "set alternate setting";
        case USBDEVFS_RESET:
            return "reset the device";
        default:
            char text[32];
            std::snprintf(text, sizeof text, "ioctl 0x%lx", request);
            return text;
    }
}

void Complete(UMockdevIoctlClient* client, int error) {
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

}  // namespace

EmulatedUsbDevice::EmulatedUsbDevice(std::string devNode, std::vector<std::uint8_t> descriptors,
                                     std::shared_ptr<sim::DeviceModel> model,
                                     std::vector<std::string> interfaceDrivers)
    : devNode_(std::move(devNode)),
      descriptors_(std::move(descriptors)),
      model_(std::move(model)),
      interfaceDrivers_(std::move(interfaceDrivers)),
      handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedUsbDevice::OnIoctl), this);
}

EmulatedUsbDevice::~EmulatedUsbDevice() {
    for (UMockdevIoctlData* urb : completed_) umockdev_ioctl_data_unref(urb);
    for (UMockdevIoctlData* urb : held_) umockdev_ioctl_data_unref(urb);
    g_object_unref(handler_);
}

void EmulatedUsbDevice::SetFaults(const UsbFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    vendorRequests_ = 0;
}

void EmulatedUsbDevice::Unplug() {
    std::lock_guard lock(mutex_);
    unplugged_ = true;
}

bool EmulatedUsbDevice::Unplugged() const {
    std::lock_guard lock(mutex_);
    return unplugged_;
}

int EmulatedUsbDevice::VendorRequests() const {
    std::lock_guard lock(mutex_);
    return vendorRequests_;
}

std::vector<std::string> EmulatedUsbDevice::Violations() const {
    std::lock_guard lock(mutex_);
    return violations_;
}

std::vector<std::string> EmulatedUsbDevice::TakeViolations() {
    std::lock_guard lock(mutex_);
    return std::exchange(violations_, {});
}

void EmulatedUsbDevice::Violation(std::string what) {
    violations_.push_back(devNode_ + ": " + std::move(what));
}

// Runs on umockdev's worker thread while the caller waits in its ioctl.
int EmulatedUsbDevice::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto& device = *static_cast<EmulatedUsbDevice*>(self);
    std::lock_guard lock(device.mutex_);
    device.HandleIoctl(client);
    return TRUE;
}

void EmulatedUsbDevice::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (!model_) Violation("the tool touched an unrelated device (" + IoctlName(request) + ")");
    if (unplugged_ && request != USBDEVFS_DISCARDURB) {
        Complete(client, ENODEV);
        return;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            *reinterpret_cast<guint32*>(caps->data) =
                USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
            umockdev_ioctl_data_unref(caps);
            Complete(client, 0);
            return;
        }
        case USBDEVFS_GETDRIVER:
            AnswerGetDriver(client, arg);
            return;
        case USBDEVFS_SUBMITURB:
            Submit(client, arg);
            return;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            Reap(client, arg);
            return;
        case USBDEVFS_DISCARDURB:
            Discard(client, arg);
            return;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_IOCTL:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_RESET:
            // The audio driver keeps its interfaces; the kernel answers "busy".
            Violation("the tool tried to " + IoctlName(request));
            Complete(client, EBUSY);
            return;
        default:
            Violation("unexpected " + IoctlName(request));
            Complete(client, ENOTTY);
    }
}

void EmulatedUsbDevice::AnswerGetDriver(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
    auto* query = reinterpret_cast<usbdevfs_getdriver*>(data->data);
    const std::string driver =
        query->interface < interfaceDrivers_.size() ? interfaceDrivers_[query->interface] : "";
    if (driver.empty()) {
        umockdev_ioctl_data_unref(data);
        Complete(client, ENODATA);
        return;
    }
    std::snprintf(query->driver, sizeof query->driver, "%s", driver.c_str());
    umockdev_ioctl_data_unref(data);
    Complete(client, 0);
}

void EmulatedUsbDevice::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < kSetupLength) {
        Violation("a transfer other than a control transfer");
        umockdev_ioctl_data_unref(urbData);
        Complete(client, EINVAL);
        return;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
    bool hold = false;
    const int result = RunControl(buffer->data, urb->buffer_length, hold);
    umockdev_ioctl_data_unref(buffer);  // the URB keeps its buffer alive
    if (result == -ENODEV) {
        umockdev_ioctl_data_unref(urbData);
        Complete(client, ENODEV);
        return;
    }
    urb->status = std::min(result, 0);
    urb->actual_length = std::max(result, 0);
    (hold ? held_ : completed_).push_back(urbData);
    Complete(client, 0);
}

void EmulatedUsbDevice::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (completed_.empty()) {
        Complete(client, unplugged_ ? ENODEV : EAGAIN);
        return;
    }
    UMockdevIoctlData* urbData = completed_.front();
    completed_.pop_front();
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, urbData);
    Complete(client, 0);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_data_unref(urbData);
}

// A cancelled URB comes back on the next reap with status -ENOENT, as from the kernel.
void EmulatedUsbDevice::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const gulong address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
    auto it = std::find_if(held_.begin(), held_.end(),
                           [&](UMockdevIoctlData* urb) { return urb->client_addr == address; });
    if (it == held_.end()) {
        Complete(client, EINVAL);
        return;
    }
    reinterpret_cast<usbdevfs_urb*>((*it)->data)->status = -ENOENT;
    completed_.push_back(*it);
    held_.erase(it);
    Complete(client, 0);
}

int EmulatedUsbDevice::RunControl(std::uint8_t* buffer, int bufferLength, bool& hold) {
    const ControlSetup setup{.requestType = buffer[0],
                             .request = buffer[1],
                             .value = static_cast<std::uint16_t>(buffer[2] | buffer[3] << 8),
                             .index = static_cast<std::uint16_t>(buffer[4] | buffer[5] << 8),
                             .length = static_cast<std::uint32_t>(buffer[6] | buffer[7] << 8)};
    std::uint8_t* data = buffer + kSetupLength;
    if (static_cast<int>(setup.length) > bufferLength - kSetupLength) return -EINVAL;

    if (setup.requestType == 0x80 && setup.request == kGetDescriptor &&
        setup.value == kDeviceDescriptor) {
        const std::size_t count = std::min<std::size_t>(setup.length, kDeviceDescriptorLength);
        std::copy_n(descriptors_.begin(), count, data);
        return static_cast<int>(count);
    }
    if ((setup.requestType & kTypeMask) != kVendorType || !model_) return -EPIPE;

    const int number = ++vendorRequests_;
    if (faults_.unplugAfter >= 0 && number > faults_.unplugAfter) {
        unplugged_ = true;
        return -ENODEV;
    }
    if (number == faults_.stallRequest) return -EPIPE;
    if (number == faults_.timeOutRequest) {
        hold = true;
        return 0;
    }
    if (setup.IsDeviceToHost()) std::fill_n(data, setup.length, std::uint8_t{0});
    if (!model_->HandleRequest(setup, data)) return -EPIPE;
    if (model_->TakeRestart()) {  // gone before the status stage, as the kernel sees it
        unplugged_ = true;
        return -ENODEV;
    }
    const bool cut = faults_.shortReadFrom > 0 && number >= faults_.shortReadFrom;
    if (cut && setup.IsDeviceToHost()) return static_cast<int>(setup.length / 2);
    return static_cast<int>(setup.length);
}

}  // namespace qv::test

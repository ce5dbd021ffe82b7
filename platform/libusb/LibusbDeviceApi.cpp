#include "platform/libusb/LibusbDeviceApi.h"

#include <chrono>
#include <thread>

#include "platform/carriers/RequestBlocks.h"
#include "platform/libusb/LibusbFailure.h"
#include "text/HexFormat.h"

namespace qv {
namespace {

constexpr std::uint8_t kAudioInterfaceClass = 1;

// "<bus>-<port>.<port>..." identifies a device by where it is plugged in.
std::string Location(libusb_device* device) {
    std::uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
    for (int i = 0; i < depth; ++i) location += (i ? "." : "") + std::to_string(ports[i]);
    return location;
}

bool HasAudioInterface(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0) return false;
    bool audio = false;
    for (int i = 0; i < config->bNumInterfaces && !audio; ++i)
        for (int a = 0; a < config->interface[i].num_altsetting; ++a)
            audio |= config->interface[i].altsetting[a].bInterfaceClass == kAudioInterfaceClass;
    libusb_free_config_descriptor(config);
    return audio;
}

std::string PathFor(libusb_device* device, const libusb_device_descriptor& descriptor,
                    const Guid& interfaceClass) {
    return "\\\\?\\usb#vid_" + HexText(descriptor.idVendor, 4, HexCase::kLower) + "&pid_" +
           HexText(descriptor.idProduct, 4, HexCase::kLower) + "#" + Location(device) + "#" +
           GuidText(interfaceClass);
}

// Names the device file a udev rule would have opened up.
DeviceResult NoPermission(libusb_device* device) {
    char file[32];
    std::snprintf(file, sizeof file, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return DeviceResult::Failure(
        FailureKind::kPermission,
        std::string("no permission to open ") + file + "; install the udev rule (see README)");
}

}  // namespace

LibusbDeviceApi::LibusbDeviceApi() {
    initError_ = libusb_init(&context_);
    if (initError_ != 0) context_ = nullptr;
}

LibusbDeviceApi::~LibusbDeviceApi() {
    for (auto& [handle, open] : handles_) libusb_close(open.handle);
    if (context_ != nullptr) libusb_exit(context_);
}

DeviceResult LibusbDeviceApi::Ready() const {
    if (context_ != nullptr) return DeviceResult::Success();
    return LibusbFailure(initError_, "starting libusb");
}

DeviceResult LibusbDeviceApi::PathsOf(const Guid& interfaceClass, std::vector<std::string>& paths) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) return LibusbFailure(static_cast<int>(count), "listing USB devices");
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        if (interfaceClass == kProductInterfaceClass && !HasAudioInterface(list[i])) continue;
        paths.push_back(PathFor(list[i], descriptor, interfaceClass));
    }
    libusb_free_device_list(list, 1);
    return DeviceResult::Success();
}

DeviceResult LibusbDeviceApi::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    set = kNoDeviceSet;
    if (DeviceResult ready = Ready(); !ready.ok()) return ready;
    if (!(interfaceClass == kProductInterfaceClass) &&
        !(interfaceClass == kUsbDeviceInterfaceClass))
        return DeviceResult::Failure(FailureKind::kNotFound,
                                     "no devices of interface class " + GuidText(interfaceClass));
    std::vector<std::string> paths;
    if (DeviceResult listed = PathsOf(interfaceClass, paths); !listed.ok()) return listed;
    set = nextHandle_++;
    sets_.Add(set, std::move(paths));
    return DeviceResult::Success();
}

DeviceResult LibusbDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    return sets_.Enumerate(set, index);
}

DeviceResult LibusbDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                                  std::string& path) {
    return sets_.Path(set, index, path);
}

void LibusbDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    sets_.Destroy(set);
}

DeviceResult LibusbDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    handle = kNoFileHandle;
    if (DeviceResult ready = Ready(); !ready.ok()) return ready;
    const bool propertyMode = path.find(GuidText(kProductInterfaceClass)) != std::string::npos;
    const Guid& interfaceClass = propertyMode ? kProductInterfaceClass : kUsbDeviceInterfaceClass;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) return LibusbFailure(static_cast<int>(count), "listing USB devices");
    DeviceResult result = DeviceResult::Failure(FailureKind::kNotFound, "no device at " + path);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        if (PathFor(list[i], descriptor, interfaceClass) != path) continue;
        libusb_device_handle* device = nullptr;
        if (const int error = libusb_open(list[i], &device); error != 0) {
            result = error == LIBUSB_ERROR_ACCESS ? NoPermission(list[i])
                                                  : LibusbFailure(error, "opening the device");
            break;
        }
        handle = nextHandle_++;
        handles_[handle] = {device, propertyMode};
        result = DeviceResult::Success();
        break;
    }
    libusb_free_device_list(list, 1);
    return result;
}

DeviceResult LibusbDeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                        const std::uint8_t* in, std::uint32_t inSize,
                                        std::uint8_t* out, std::uint32_t outSize) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) return DeviceResult::Failure(FailureKind::kOther, "no such handle");
    libusb_device_handle* device = it->second.handle;
    const DecodeResult decoded = it->second.propertyMode
                                     ? DecodePropertyRequest(code, in, inSize, outSize)
                                     : DecodePlainRequest(code, in, inSize, out, outSize);
    if (!decoded.ok()) return decoded.problem();
    if (decoded->kind == CarrierKind::kPresenceTest) {
        if (it->second.propertyMode) return DeviceResult::Success();  // the handle is open
        const int read = libusb_control_transfer(device, 0x80, 6, 0x0100, 0, out, kDescriptorLength,
                                                 kRequestTimeoutMs);
        if (read < 0) return LibusbFailure(read, "reading the device descriptor");
        return ShortTransferCheck("reading the device descriptor", read, kDescriptorLength);
    }
    const ControlSetup& request = decoded->request->setup;
    std::vector<std::uint8_t> data(decoded->request->outData.begin(),
                                   decoded->request->outData.end());
    data.resize(request.length);
    const int result = libusb_control_transfer(
        device, request.requestType, request.request, request.value, request.index, data.data(),
        static_cast<std::uint16_t>(request.length), kRequestTimeoutMs);
    if (result < 0) return LibusbFailure(result, "control transfer");
    if (!request.IsDeviceToHost()) return DeviceResult::Success();
    // A read is whole or it failed: a short answer never reaches the caller's buffer.
    if (DeviceResult whole = ShortTransferCheck("control transfer", result, request.length);
        !whole.ok())
        return whole;
    if (out != nullptr)
        std::copy(data.begin(), data.begin() + std::min(request.length, outSize), out);
    return DeviceResult::Success();
}

void LibusbDeviceApi::CloseHandle(FileHandle handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) return;
    libusb_close(it->second.handle);
    handles_.erase(it);
}

void LibusbDeviceApi::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t LibusbDeviceApi::NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace qv

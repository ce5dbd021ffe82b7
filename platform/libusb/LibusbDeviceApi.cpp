#include "platform/libusb/LibusbDeviceApi.h"

#include <filesystem>
#include <thread>

#include "usb/RequestBlocks.h"

namespace qv {
namespace {

constexpr unsigned kTransferTimeoutMs = 1000;
constexpr std::uint8_t kAudioInterfaceClass = 1;

std::string GuidText(const Guid& guid) {
    const auto& b = guid.bytes;
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

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
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", descriptor.idVendor, descriptor.idProduct);
    return std::string("\\\\?\\usb#") + ids + "#" + Location(device) + "#" +
           GuidText(interfaceClass);
}

}  // namespace

LibusbDeviceApi::LibusbDeviceApi() {
    if (libusb_init(&context_) != 0) context_ = nullptr;
}

LibusbDeviceApi::~LibusbDeviceApi() {
    for (auto& [handle, open] : handles_) libusb_close(open.handle);
    if (context_ != nullptr) libusb_exit(context_);
}

std::vector<std::string> LibusbDeviceApi::PathsOf(const Guid& interfaceClass) {
    std::vector<std::string> paths;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        if (interfaceClass == kProductInterfaceClass && !HasAudioInterface(list[i])) continue;
        paths.push_back(PathFor(list[i], descriptor, interfaceClass));
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    return paths;
}

DeviceSetHandle LibusbDeviceApi::OpenInterfaceSet(const Guid& interfaceClass) {
    if (context_ == nullptr) return kNoDeviceSet;
    if (!(interfaceClass == kProductInterfaceClass) &&
        !(interfaceClass == kUsbDeviceInterfaceClass))
        return kNoDeviceSet;
    const DeviceSetHandle set = nextHandle_++;
    sets_[set] = PathsOf(interfaceClass);
    return set;
}

EnumResult LibusbDeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    auto it = sets_.find(set);
    if (it == sets_.end()) return EnumResult::kError;
    return index < it->second.size() ? EnumResult::kFound : EnumResult::kNoMoreItems;
}

bool LibusbDeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                          std::string& path) {
    auto it = sets_.find(set);
    if (it == sets_.end() || index >= it->second.size()) return false;
    path = it->second[index];
    return true;
}

void LibusbDeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    sets_.erase(set);
}

FileHandle LibusbDeviceApi::OpenPath(const std::string& path) {
    if (context_ == nullptr) return kNoFileHandle;
    const bool propertyMode = path.find(GuidText(kProductInterfaceClass)) != std::string::npos;
    const Guid& interfaceClass = propertyMode ? kProductInterfaceClass : kUsbDeviceInterfaceClass;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    FileHandle result = kNoFileHandle;
    for (ssize_t i = 0; i < count && result == kNoFileHandle; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        if (PathFor(list[i], descriptor, interfaceClass) != path) continue;
        libusb_device_handle* handle = nullptr;
        if (libusb_open(list[i], &handle) != 0) break;
        result = nextHandle_++;
        handles_[result] = {handle, propertyMode};
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    return result;
}

bool LibusbDeviceApi::IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                                std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) return false;
    libusb_device_handle* device = it->second.handle;
    const DecodeResult decoded = it->second.propertyMode
                                     ? DecodePropertyRequest(code, in, inSize, outSize)
                                     : DecodePlainRequest(code, in, inSize, out, outSize);
    if (!decoded.ok()) return false;
    if (decoded.kind == CarrierKind::kPresenceTest) {
        if (it->second.propertyMode) return true;  // the device answers: the handle is open
        return libusb_control_transfer(device, 0x80, 6, 0x0100, 0, out, kDescriptorLength,
                                       kTransferTimeoutMs) >= 0;
    }
    const DecodedRequest& request = *decoded.request;
    std::vector<std::uint8_t> data = request.outData;
    data.resize(request.length);
    const int result = libusb_control_transfer(
        device, request.requestType, request.request, request.value, request.index, data.data(),
        static_cast<std::uint16_t>(request.length), kTransferTimeoutMs);
    if (result < 0) return false;
    if ((request.requestType & 0x80) != 0 && out != nullptr)
        std::copy(data.begin(), data.begin() + std::min<std::size_t>(result, outSize), out);
    return true;
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

std::string LibusbDeviceApi::CurrentDirectory() {
    return std::filesystem::current_path().string();
}

}  // namespace qv

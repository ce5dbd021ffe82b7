#include "tests/umockdev/UsbTestbed.h"

#include <sys/stat.h>
#include <umockdev.h>

#include <stdexcept>

namespace qv::test {
namespace {

constexpr char kHubPath[] = "/devices/pci0000:00/0000:00:14.0/usb1";
constexpr std::uint16_t kQuorvexVendor = 0xa7d6;
constexpr std::uint8_t kAudioClass = 0x01;
constexpr std::uint8_t kHidClass = 0x03;
constexpr std::uint8_t kHubClass = 0x09;
constexpr std::uint8_t kVendorClass = 0xFF;

void Append16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Device descriptor, one configuration and its interfaces (no endpoints: the tool uses the
// default control endpoint only).
std::vector<std::uint8_t> Descriptors(std::uint8_t deviceClass, std::uint16_t vendorId,
                                      std::uint16_t productId,
                                      const std::vector<std::pair<int, int>>& interfaces) {
    std::vector<std::uint8_t> bytes = {18, 1, 0x00, 0x02, deviceClass, 0, 0, 64};
    Append16(bytes, vendorId);
    Append16(bytes, productId);
    bytes.insert(bytes.end(), {0x00, 0x01, 1, 2, 0, 1});
    const auto count = static_cast<std::uint8_t>(interfaces.size());
    bytes.insert(bytes.end(), {9, 2});
    Append16(bytes, static_cast<std::uint16_t>(9 + 9 * count));
    bytes.insert(bytes.end(), {count, 1, 0, 0x80, 50});
    std::uint8_t number = 0;
    for (const auto& [interfaceClass, subClass] : interfaces)
        bytes.insert(bytes.end(), {9, 4, number++, 0, 0, static_cast<std::uint8_t>(interfaceClass),
                                   static_cast<std::uint8_t>(subClass), 0, 0});
    return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

// The udev database entries of a USB device and its interfaces, in umockdev's record format.
std::string DeviceRecord(const std::string& path, int devnum, std::uint16_t vendorId,
                         std::uint16_t productId, const std::vector<std::uint8_t>& descriptors) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "P: %s\nN: bus/usb/001/%03d\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                  "E: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=%03d\nE: DEVNAME=/dev/bus/usb/001/%03d\n"
                  "E: PRODUCT=%x/%x/100\nA: busnum=1\\n\nA: devnum=%d\\n\nA: speed=480\\n\n"
                  "A: bConfigurationValue=1\\n\nA: idVendor=%04x\\n\nA: idProduct=%04x\\n\n",
                  path.c_str(), devnum, devnum, devnum, vendorId, productId, devnum, vendorId,
                  productId);
    return text + ("H: descriptors=" + Hex(descriptors) + "\n");
}

std::string InterfaceRecord(const std::string& devicePath, int port, int number,
                            std::uint8_t interfaceClass, const char* driver) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "\nP: %s/1-%d:1.%d\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=%s\n"
                  "A: bInterfaceNumber=%02x\\n\nA: bInterfaceClass=%02x\\n\n",
                  devicePath.c_str(), port, number, driver, number, interfaceClass);
    return text;
}

}  // namespace

UsbTestbed::UsbTestbed() : testbed_(umockdev_testbed_new()) {
    const std::vector<std::uint8_t> hub = Descriptors(kHubClass, 0x1d6b, 0x0002, {{kHubClass, 0}});
    auto device = std::make_unique<EmulatedUsbDevice>("/dev/bus/usb/001/001", hub, nullptr,
                                                      std::vector<std::string>{"hub"});
    umockdev_testbed_attach_ioctl(testbed_, device->DevNode().c_str(), device->Handler(), nullptr);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(
            testbed_, DeviceRecord(kHubPath, 1, 0x1d6b, 0x0002, hub).c_str(), &error))
        throw std::runtime_error(error->message);
    slots_.push_back({std::string("/sys") + kHubPath, std::move(device)});
}

UsbTestbed::~UsbTestbed() {
    g_object_unref(testbed_);
}

bool UsbTestbed::InMockEnvironment() {
    return umockdev_in_mock_environment();
}

EmulatedUsbDevice& UsbTestbed::AddProduct(std::uint16_t productId,
                                          std::shared_ptr<sim::DeviceModel> chip) {
    return Plug(kQuorvexVendor, productId,
                {{kAudioClass, 1, "snd-usb-audio"}, {kAudioClass, 2, "snd-usb-audio"}},
                std::move(chip));
}

EmulatedUsbDevice& UsbTestbed::AddBareChip(std::uint16_t vendorId,
                                           std::shared_ptr<sim::DeviceModel> chip) {
    return Plug(vendorId, 0x6000, {{kVendorClass, 0, ""}}, std::move(chip));
}

EmulatedUsbDevice& UsbTestbed::AddUnrelated() {
    return Plug(0x1209, 0x0001, {{kHidClass, 1, "usbhid"}}, nullptr);
}

EmulatedUsbDevice& UsbTestbed::Plug(std::uint16_t vendorId, std::uint16_t productId,
                                    const std::vector<Interface>& interfaces,
                                    std::shared_ptr<sim::DeviceModel> model) {
    const int devnum = static_cast<int>(slots_.size()) + 1;
    const int port = devnum - 1;
    const std::string path = std::string(kHubPath) + "/1-" + std::to_string(port);
    std::vector<std::pair<int, int>> classes;
    std::vector<std::string> drivers;
    for (const Interface& interface : interfaces) {
        classes.emplace_back(interface.interfaceClass, interface.subClass);
        drivers.emplace_back(interface.driver);
    }
    const std::vector<std::uint8_t> descriptors = Descriptors(0, vendorId, productId, classes);
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", devnum);
    auto device = std::make_unique<EmulatedUsbDevice>(node, descriptors, std::move(model), drivers);

    // The file answers before udev announces the device, so an early open finds it working.
    umockdev_testbed_attach_ioctl(testbed_, node, device->Handler(), nullptr);
    std::string record = DeviceRecord(path, devnum, vendorId, productId, descriptors);
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        if (*interfaces[i].driver == '\0') continue;
        record += InterfaceRecord(path, port, static_cast<int>(i), interfaces[i].interfaceClass,
                                  interfaces[i].driver);
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error))
        throw std::runtime_error(error->message);
    slots_.push_back({"/sys" + path, std::move(device)});
    return *slots_.back().device;
}

UsbTestbed::Slot& UsbTestbed::SlotOf(const EmulatedUsbDevice& device) {
    for (Slot& slot : slots_)
        if (slot.device.get() == &device) return slot;
    throw std::logic_error("device not on this testbed");
}

void UsbTestbed::Unplug(EmulatedUsbDevice& device) {
    Slot& slot = SlotOf(device);
    device.Unplug();
    umockdev_testbed_uevent(testbed_, slot.sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, slot.sysPath.c_str());
}

void UsbTestbed::DenyAccess(EmulatedUsbDevice& device) {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    // The tree must stay readable, only the device file is closed.
    chmod(root, 0755);
    const std::string node = std::string(root) + device.DevNode();
    g_free(root);
    if (chmod(node.c_str(), 0) != 0) throw std::runtime_error("cannot change " + node);
}

std::vector<std::string> UsbTestbed::Violations() const {
    std::vector<std::string> all;
    for (const Slot& slot : slots_) {
        const std::vector<std::string> found = slot.device->Violations();
        all.insert(all.end(), found.begin(), found.end());
    }
    return all;
}

}  // namespace qv::test

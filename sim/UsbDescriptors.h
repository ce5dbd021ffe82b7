#pragma once
// The USB descriptors a virtual device presents on a real bus: a catalogue product as a USB
// audio device (an audio control interface and a streaming interface with one isochronous OUT
// endpoint, so the system's audio driver binds as it does to the product), or a bare chip in ISP
// mode (one vendor-specific interface, the control endpoint only).

#include <cstdint>
#include <string>
#include <vector>

namespace qv::sim {

struct UsbIdentity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string manufacturer;
    std::string name;
    std::string serial;
    bool bareChip = false;
};

struct UsbInterfaceClass {
    std::uint8_t number = 0;
    std::uint8_t alternate = 0;
    std::uint8_t cls = 0;
    std::uint8_t subClass = 0;
    std::uint8_t protocol = 0;
};

struct UsbEndpoint {
    std::uint8_t address = 0;  // bit 7 set for IN
    std::uint8_t attributes = 0;
    std::uint8_t interfaceNumber = 0;
    std::uint8_t alternate = 0;

    bool Isochronous() const { return (attributes & 0x03) == 0x01; }
};

inline constexpr std::uint8_t kConfigurationValue = 1;

class UsbDescriptors {
  public:
    explicit UsbDescriptors(const UsbIdentity& identity);

    const std::vector<std::uint8_t>& Device() const { return device_; }
    const std::vector<std::uint8_t>& Configuration() const { return configuration_; }
    // String descriptor `index` (0: the languages); empty when the device has none.
    std::vector<std::uint8_t> String(std::uint8_t index) const;
    // Every interface setting and endpoint of the configuration, read from its descriptor.
    const std::vector<UsbInterfaceClass>& Interfaces() const { return interfaces_; }
    const std::vector<UsbEndpoint>& Endpoints() const { return endpoints_; }
    std::uint8_t InterfaceCount() const;

  private:
    std::vector<std::uint8_t> device_;
    std::vector<std::uint8_t> configuration_;
    std::vector<std::string> strings_;
    std::vector<UsbInterfaceClass> interfaces_;
    std::vector<UsbEndpoint> endpoints_;
};

// The USB device descriptor: USB 2.0, 64-byte control endpoint, one configuration; a bare chip
// has the vendor-specific device class, a product names its class per interface.
std::vector<std::uint8_t> DeviceDescriptor(std::uint16_t vendor, std::uint16_t product,
                                           bool bareChip);

}  // namespace qv::sim

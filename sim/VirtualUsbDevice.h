#pragma once
// A virtual device as a USB host controller meets it: its descriptors, the standard requests of
// the control endpoint, the chip's vendor requests (through the virtual bus, with its latency,
// faults and restart), and isochronous endpoints in the settings the host has chosen.

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "sim/UsbDescriptors.h"
#include "sim/VirtualBus.h"

namespace qv::sim {

enum class ControlOutcome {
    kDone,
    kStalled,   // the device answered with a STALL handshake
    kFailed,    // the transfer broke on the bus (a rehearsed transfer fault)
    kNoAnswer,  // the device stays silent: the host times the request out
    kGone,      // the device left the bus (unplugged, or restarting)
};

struct ControlAnswer {
    ControlOutcome outcome = ControlOutcome::kDone;
    std::vector<std::uint8_t> in;  // IN data, at most the setup's length
};

class VirtualUsbDevice {
  public:
    VirtualUsbDevice(VirtualBus& bus, DeviceId id, const UsbIdentity& identity);

    const UsbDescriptors& Descriptors() const { return descriptors_; }
    // Back to the address state, as after a bus reset: unconfigured, every setting 0.
    void Reset();
    ControlAnswer Control(const std::array<std::uint8_t, 8>& setup,
                          std::span<const std::uint8_t> outData);
    // The endpoint at `address` in the configuration and settings the host chose; null for none.
    const UsbEndpoint* ActiveEndpoint(std::uint8_t address) const;

  private:
    ControlAnswer Standard(const ControlSetup& setup);
    ControlAnswer Vendor(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    ControlAnswer Descriptor(const ControlSetup& setup) const;
    bool HasSetting(std::uint16_t interface, std::uint16_t alternate) const;
    bool HasEndpoint(std::uint16_t address) const;

    VirtualBus& bus_;
    DeviceId id_;
    UsbDescriptors descriptors_;
    std::uint8_t configuration_ = 0;
    std::map<std::uint8_t, std::uint8_t> alternates_;  // interface number to its setting
};

}  // namespace qv::sim

#include "sim/VirtualUsbDevice.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kTypeStandard = 0x00;
constexpr std::uint8_t kTypeVendor = 0x40;
constexpr std::uint8_t kRecipientMask = 0x1F;
constexpr std::uint8_t kRecipientDevice = 0;
constexpr std::uint8_t kRecipientInterface = 1;
constexpr std::uint8_t kRecipientEndpoint = 2;

constexpr std::uint8_t kGetStatus = 0;
constexpr std::uint8_t kClearFeature = 1;
constexpr std::uint8_t kGetDescriptor = 6;
constexpr std::uint8_t kGetConfiguration = 8;
constexpr std::uint8_t kSetConfiguration = 9;
constexpr std::uint8_t kGetInterface = 10;
constexpr std::uint8_t kSetInterface = 11;
constexpr std::uint16_t kFeatureEndpointHalt = 0;

constexpr std::uint8_t kDescriptorDevice = 1;
constexpr std::uint8_t kDescriptorConfiguration = 2;
constexpr std::uint8_t kDescriptorString = 3;

ControlAnswer Stall() {
    return {ControlOutcome::kStalled, {}};
}

ControlAnswer Done(std::vector<std::uint8_t> in = {}) {
    return {ControlOutcome::kDone, std::move(in)};
}

// An IN answer no longer than the host asked for.
ControlAnswer Answer(const std::vector<std::uint8_t>& bytes, const ControlSetup& setup) {
    if (bytes.empty()) return Stall();
    return Done({bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), setup.length)});
}

ControlSetup SetupOf(const std::array<std::uint8_t, 8>& raw) {
    ControlSetup setup;
    setup.requestType = raw[0];
    setup.request = raw[1];
    setup.value = static_cast<std::uint16_t>(raw[2] | raw[3] << 8);
    setup.index = static_cast<std::uint16_t>(raw[4] | raw[5] << 8);
    setup.length = static_cast<std::uint16_t>(raw[6] | raw[7] << 8);
    return setup;
}

}  // namespace

VirtualUsbDevice::VirtualUsbDevice(VirtualBus& bus, DeviceId id, const UsbIdentity& identity)
    : bus_(bus), id_(id), descriptors_(identity) {}

void VirtualUsbDevice::Reset() {
    configuration_ = 0;
    alternates_.clear();
}

ControlAnswer VirtualUsbDevice::Control(const std::array<std::uint8_t, 8>& raw,
                                        std::span<const std::uint8_t> outData) {
    const ControlSetup setup = SetupOf(raw);
    if (!setup.IsDeviceToHost() && outData.size() != setup.length) return Stall();
    switch (setup.requestType & kTypeMask) {
        case kTypeStandard:
            return Standard(setup);
        case kTypeVendor:
            return Vendor(setup, outData);
        default:  // no class requests: the audio function has no controls
            return Stall();
    }
}

ControlAnswer VirtualUsbDevice::Vendor(const ControlSetup& setup,
                                       std::span<const std::uint8_t> outData) {
    std::vector<std::uint8_t> in(setup.IsDeviceToHost() ? setup.length : 0);
    const DeviceResult result = bus_.ControlTransfer(id_, setup, outData, in.data());
    if (result.ok()) return Done(std::move(in));
    switch (result.kind()) {
        case FailureKind::kStalled:
            return Stall();
        case FailureKind::kGone:
            return {ControlOutcome::kGone, {}};
        case FailureKind::kTimedOut:
            return {ControlOutcome::kNoAnswer, {}};
        default:
            return {ControlOutcome::kFailed, {}};
    }
}

ControlAnswer VirtualUsbDevice::Standard(const ControlSetup& setup) {
    const std::uint8_t recipient = setup.requestType & kRecipientMask;
    const bool in = setup.IsDeviceToHost();
    switch (setup.request) {
        case kGetStatus: {
            const bool known =
                recipient == kRecipientDevice ||
                (recipient == kRecipientInterface && configuration_ != 0 &&
                 HasSetting(setup.index, 0)) ||
                (recipient == kRecipientEndpoint && (setup.index == 0 || HasEndpoint(setup.index)));
            if (!in || setup.value != 0 || !known) return Stall();
            return Answer({0, 0}, setup);
        }
        case kClearFeature:
            if (in || recipient != kRecipientEndpoint || setup.value != kFeatureEndpointHalt ||
                !(setup.index == 0 || HasEndpoint(setup.index)))
                return Stall();
            return Done();
        case kGetDescriptor:
            if (!in || recipient != kRecipientDevice) return Stall();
            return Descriptor(setup);
        case kGetConfiguration:
            if (!in || recipient != kRecipientDevice) return Stall();
            return Answer({configuration_}, setup);
        case kSetConfiguration:
            if (in || recipient != kRecipientDevice ||
                (setup.value != 0 && setup.value != kConfigurationValue))
                return Stall();
            configuration_ = static_cast<std::uint8_t>(setup.value);
            alternates_.clear();
            return Done();
        case kGetInterface:
            if (!in || recipient != kRecipientInterface || configuration_ == 0 ||
                !HasSetting(setup.index, 0))
                return Stall();
            return Answer({alternates_[static_cast<std::uint8_t>(setup.index)]}, setup);
        case kSetInterface:
            if (in || recipient != kRecipientInterface || configuration_ == 0 ||
                !HasSetting(setup.index, setup.value))
                return Stall();
            alternates_[static_cast<std::uint8_t>(setup.index)] =
                static_cast<std::uint8_t>(setup.value);
            return Done();
        default:
            return Stall();
    }
}

ControlAnswer VirtualUsbDevice::Descriptor(const ControlSetup& setup) const {
    const std::uint8_t type = static_cast<std::uint8_t>(setup.value >> 8);
    const std::uint8_t index = static_cast<std::uint8_t>(setup.value);
    switch (type) {
        case kDescriptorDevice:
            return index == 0 ? Answer(descriptors_.Device(), setup) : Stall();
        case kDescriptorConfiguration:
            return index == 0 ? Answer(descriptors_.Configuration(), setup) : Stall();
        case kDescriptorString:
            return Answer(descriptors_.String(index), setup);
        default:  // no device qualifier (high speed only), no BOS (USB 2.0)
            return Stall();
    }
}

bool VirtualUsbDevice::HasSetting(std::uint16_t interface, std::uint16_t alternate) const {
    const auto& settings = descriptors_.Interfaces();
    return std::any_of(settings.begin(), settings.end(), [&](const UsbInterfaceClass& s) {
        return s.number == interface && s.alternate == alternate;
    });
}

bool VirtualUsbDevice::HasEndpoint(std::uint16_t address) const {
    return ActiveEndpoint(static_cast<std::uint8_t>(address)) != nullptr;
}

const UsbEndpoint* VirtualUsbDevice::ActiveEndpoint(std::uint8_t address) const {
    if (configuration_ == 0) return nullptr;
    for (const UsbEndpoint& endpoint : descriptors_.Endpoints()) {
        auto setting = alternates_.find(endpoint.interfaceNumber);
        const std::uint8_t alternate = setting == alternates_.end() ? 0 : setting->second;
        if (endpoint.address == address && endpoint.alternate == alternate) return &endpoint;
    }
    return nullptr;
}

}  // namespace qv::sim

#include "sim/VirtualBus.h"

#include <algorithm>

#include "platform/carriers/RequestBlocks.h"
#include "sim/UsbDescriptors.h"
#include "text/HexFormat.h"
#include "text/TypedNumber.h"

namespace qv::sim {
namespace {

constexpr std::uint32_t kSerialSeed = 0x2d5c8a1;

// Parses "vid_xxxx&pid_yyyy" for the device descriptor; 0 where the text does not say.
std::uint16_t IdField(const std::string& idText, const char* key) {
    const auto at = idText.find(key);
    if (at == std::string::npos || at + 8 > idText.size()) return 0;
    return static_cast<std::uint16_t>(HexDigitsValue(idText.substr(at + 4, 4)).value_or(0));
}

std::string SerialText(int serial) {
    const std::string number = std::to_string(serial);
    return HexText(kSerialSeed + static_cast<std::uint32_t>(serial), 1, HexCase::kLower) + "&0&" +
           std::string(number.size() < 4 ? 4 - number.size() : 0, '0') + number;
}

DeviceResult Unplugged() {
    return DeviceResult::Failure(FailureKind::kGone, "device unplugged");
}

}  // namespace

std::string ProductInterfacePath(const std::string& idText, int serial) {
    return "\\\\?\\usb#" + idText + "&mi_00#7&" + SerialText(serial) +
           "#{50894fa4-9206-4a91-8728-cf6f268f271d}\\global";
}

std::string UsbDeviceInterfacePath(const std::string& idText, int serial) {
    return "\\\\?\\usb#" + idText + "#5&" + SerialText(serial) +
           "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

std::string SecondInterfacePath(const std::string& path) {
    const auto classStart = path.find("#{");
    const auto classEnd = path.find('}', classStart);
    if (classStart == std::string::npos || classEnd == std::string::npos) return path + "\\2";
    return path.substr(0, classEnd + 1) + "\\control";
}

VirtualBus::VirtualBus(Clock& clock) : clock_(clock) {}

bool VirtualBus::Present(const Device& device) const {
    return device.attached || (device.backAt && clock_.NowMicros() >= *device.backAt);
}

void VirtualBus::Unplug(Device& device) {
    device.attached = false;
    ++device.generation;
}

std::string VirtualBus::MemberPath(const Member& member) const {
    const std::string& path = devices_.at(member.id).path;
    return member.duplicate ? SecondInterfacePath(path) : path;
}

DeviceId VirtualBus::AttachProduct(const std::string& idText, std::shared_ptr<DeviceModel> model) {
    return AttachWithPath(kProductInterfaceClass, ProductInterfacePath(idText, ++serial_),
                          std::move(model));
}

DeviceId VirtualBus::AttachBareChip(const std::string& idText, std::shared_ptr<DeviceModel> model) {
    return AttachWithPath(kUsbDeviceInterfaceClass, UsbDeviceInterfacePath(idText, ++serial_),
                          std::move(model));
}

DeviceId VirtualBus::AttachWithPath(const Guid& interfaceClass, const std::string& path,
                                    std::shared_ptr<DeviceModel> model) {
    const DeviceId id = nextDevice_++;
    Device device;
    device.interfaceClass = interfaceClass;
    device.path = path;
    device.model = std::move(model);
    devices_[id] = std::move(device);
    return id;
}

void VirtualBus::Detach(DeviceId id) {
    auto it = devices_.find(id);
    if (it == devices_.end()) return;
    Unplug(it->second);
    it->second.backAt.reset();
}

bool VirtualBus::Reattach(DeviceId id) {
    auto it = devices_.find(id);
    if (it == devices_.end() || !Present(it->second)) return false;
    it->second.attached = true;
    it->second.backAt.reset();
    return true;
}

bool VirtualBus::IsAttached(DeviceId id) const {
    auto it = devices_.find(id);
    return it != devices_.end() && Present(it->second);
}

std::string VirtualBus::PathOf(DeviceId id) const {
    auto it = devices_.find(id);
    return it == devices_.end() ? std::string() : it->second.path;
}

void VirtualBus::SetUnreadableDetail(DeviceId id, bool unreadable) {
    devices_.at(id).unreadableDetail = unreadable;
}

void VirtualBus::SetDuplicateInterface(DeviceId id, bool duplicate) {
    devices_.at(id).duplicateInterface = duplicate;
}

void VirtualBus::SetTransferFaults(DeviceId id, const TransferFaults& faults) {
    Device& device = devices_.at(id);
    device.faults = faults;
    device.requests = 0;
}

DeviceResult VirtualBus::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    set = kNoDeviceSet;
    if (classSetFails_)
        return DeviceResult::Failure(FailureKind::kOther, "the interface set could not be built");
    std::vector<Member> members;
    for (const auto& [id, device] : devices_) {
        if (!Present(device) || device.interfaceClass != interfaceClass) continue;
        members.push_back({id, false});
        if (device.duplicateInterface) members.push_back({id, true});
    }
    set = nextHandle_++;
    sets_[set] = std::move(members);
    return DeviceResult::Success();
}

DeviceResult VirtualBus::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    auto it = sets_.find(set);
    if (it == sets_.end()) return DeviceResult::Failure(FailureKind::kOther, "no such device set");
    if (index < it->second.size()) return DeviceResult::Success();
    return DeviceResult::Failure(FailureKind::kNoMoreItems, "no more devices");
}

DeviceResult VirtualBus::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                             std::string& path) {
    auto it = sets_.find(set);
    if (it == sets_.end() || index >= it->second.size())
        return DeviceResult::Failure(FailureKind::kNotFound, "no such member of the device set");
    const Member& member = it->second[index];
    if (devices_.at(member.id).unreadableDetail)
        return DeviceResult::Failure(FailureKind::kOther, "the detail record could not be read");
    path = MemberPath(member);
    return DeviceResult::Success();
}

void VirtualBus::DestroyInterfaceSet(DeviceSetHandle set) {
    sets_.erase(set);
}

DeviceResult VirtualBus::OpenPath(const std::string& path, FileHandle& handle) {
    handle = kNoFileHandle;
    for (auto& [id, device] : devices_) {
        const bool atPath = device.path == path ||
                            (device.duplicateInterface && SecondInterfacePath(device.path) == path);
        if (Present(device) && atPath) {
            device.attached = true;  // a restarted device is back
            device.backAt.reset();
            handle = nextHandle_++;
            handles_[handle] = {id, device.generation};
            return DeviceResult::Success();
        }
    }
    return DeviceResult::Failure(FailureKind::kNotFound, "no device at " + path);
}

void VirtualBus::CloseHandle(FileHandle handle) {
    handles_.erase(handle);
}

void VirtualBus::Sleep(std::uint32_t milliseconds) {
    clock_.SleepMicros(std::uint64_t{milliseconds} * 1000);
}

DeviceResult VirtualBus::IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                                   std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) {
    ++transferCount_;
    clock_.SleepMicros(latencyMicros_);
    // Copies for the log are made only when someone reads them.
    const bool keep = log_.size() < logLimit_;
    TransferRecord record;
    record.code = code;
    if (keep && in != nullptr) record.input.assign(in, in + inSize);
    record.outSize = outSize;
    DeviceResult result;
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        result = DeviceResult::Failure(FailureKind::kOther, "no such handle");
    } else if (Device& device = devices_.at(it->second.id);
               !device.attached || it->second.generation != device.generation) {
        result = Unplugged();
    } else {
        result = Dispatch(device, code, in, inSize, out, outSize, record);
    }
    record.ok = result.ok();
    record.failure = result.text();
    if (keep && out != nullptr && outSize != 0) record.outAfter.assign(out, out + outSize);
    if (keep) log_.push_back(std::move(record));
    return result;
}

DeviceResult VirtualBus::ControlTransfer(DeviceId id, const ControlSetup& setup,
                                         std::span<const std::uint8_t> outData, std::uint8_t* in) {
    ++transferCount_;
    clock_.SleepMicros(latencyMicros_);
    auto it = devices_.find(id);
    if (it == devices_.end() || !it->second.attached) return Unplugged();
    if (std::optional<DeviceResult> fault = InjectedFault(it->second)) return *fault;
    TransferRecord record;
    const DeviceResult result = Transfer(it->second, setup, outData, in, record);
    if (log_.size() < logLimit_) {
        record.ok = result.ok();
        record.failure = result.text();
        log_.push_back(std::move(record));
    }
    return result;
}

DeviceResult VirtualBus::Dispatch(Device& device, std::uint32_t code, const std::uint8_t* in,
                                  std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                                  TransferRecord& record) {
    const bool propertyMode = device.interfaceClass == kProductInterfaceClass;
    DecodeResult decoded = propertyMode ? DecodePropertyRequest(code, in, inSize, outSize)
                                        : DecodePlainRequest(code, in, inSize, out, outSize);
    if (!decoded.ok()) return decoded.problem();
    if (decoded->kind == CarrierKind::kPresenceTest) return AnswerPresenceTest(device, out);
    if (std::optional<DeviceResult> fault = InjectedFault(device)) return *fault;
    return Transfer(device, decoded->request->setup, decoded->request->outData, out, record);
}

DeviceResult VirtualBus::AnswerPresenceTest(const Device& device, std::uint8_t* out) const {
    if (device.faults.presenceTestFails)
        return DeviceResult::Failure(FailureKind::kRefused,
                                     "the driver does not answer the presence test");
    // The plain interface answers with the USB device descriptor: 18 bytes, USB 2.0, vendor
    // class, the path's ids.
    if (device.interfaceClass != kProductInterfaceClass) {
        const std::vector<std::uint8_t> descriptor =
            DeviceDescriptor(IdField(device.path, "vid_"), IdField(device.path, "pid_"), true);
        std::copy(descriptor.begin(), descriptor.end(), out);
    }
    return DeviceResult::Success();
}

std::optional<DeviceResult> VirtualBus::InjectedFault(Device& device) {
    const std::uint64_t count = ++device.requests;
    const TransferFaults& faults = device.faults;
    if (faults.unplugAfter >= 0 && count > static_cast<std::uint64_t>(faults.unplugAfter)) {
        Unplug(device);
        return Unplugged();
    }
    if (faults.silentAfter >= 0 && count > static_cast<std::uint64_t>(faults.silentAfter)) {
        clock_.SleepMicros(kSilentTimeoutMicros);
        return DeviceResult::Failure(FailureKind::kTimedOut, "transfer timed out");
    }
    if ((faults.failTransfer > 0 && count == static_cast<std::uint64_t>(faults.failTransfer)) ||
        (faults.failEvery > 0 && count % static_cast<std::uint64_t>(faults.failEvery) == 0)) {
        return DeviceResult::Failure(FailureKind::kOther, "transfer fault");
    }
    return std::nullopt;
}

bool VirtualBus::CutShort(const Device& device, const ControlSetup& setup) {
    const std::int64_t from = device.faults.shortReadFrom;
    return from >= 0 && setup.IsDeviceToHost() && setup.length != 0 &&
           device.requests >= static_cast<std::uint64_t>(from);
}

DeviceResult VirtualBus::Transfer(Device& device, const ControlSetup& setup,
                                  std::span<const std::uint8_t> outData, std::uint8_t* out,
                                  TransferRecord& record) {
    record.setup = setup;
    std::vector<std::uint8_t> data(outData.begin(), outData.end());
    if (setup.IsDeviceToHost()) data.assign(setup.length, 0);
    if (!device.model->HandleRequest(setup, data.data()))
        return DeviceResult::Failure(FailureKind::kStalled, "request stalled");
    if (device.model->TakeRestart()) {
        // Gone before the status stage: the host sees the device gone.
        Unplug(device);
        device.backAt = clock_.NowMicros() + kRestartMicros;
        return Unplugged();
    }
    if (CutShort(device, setup)) {
        // The chip did the work; the answer was lost on the way, and the host keeps nothing.
        return ShortTransferCheck("control transfer", setup.length / 2, setup.length);
    }
    if (setup.IsDeviceToHost() && setup.length != 0) std::copy(data.begin(), data.end(), out);
    record.data = std::move(data);
    return DeviceResult::Success();
}

}  // namespace qv::sim

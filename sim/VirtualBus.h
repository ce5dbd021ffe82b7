#pragma once
// The virtual device as the link sees it: a DeviceApi whose interface sets list attached
// virtual devices and whose I/O controls check every carrier block byte for byte before the
// request reaches the device model.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "sim/Clock.h"
#include "sim/DeviceModel.h"

namespace qv::sim {

using DeviceId = int;

// One I/O control as received, with its outcome.
struct TransferRecord {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::uint32_t outSize = 0;
    bool ok = false;
    std::vector<std::uint8_t> outAfter;  // the output buffer after the call
    std::string failure;                 // why it failed, when it did
    // The decoded vendor request; absent for presence tests and refused carriers.
    std::optional<ControlSetup> setup;
    std::vector<std::uint8_t> data;  // OUT data sent or IN data returned
};

struct TransferFaults {
    std::int64_t failTransfer = -1;  // this vendor request (1-based count) fails
    std::int64_t failEvery = 0;      // every k-th vendor request fails
    std::int64_t unplugAfter = -1;   // the device is unplugged after this many requests
    // After this many requests the device stays attached but answers nothing: every request
    // fails as timed out once kSilentTimeoutMicros of device time have passed.
    std::int64_t silentAfter = -1;
    // The driver fails the presence test (the support query or the device descriptor), while
    // vendor requests go through.
    bool presenceTestFails = false;
    // Every read (IN vendor request) from this request on comes back with half the bytes asked
    // for, as on a link that cuts transfers.
    std::int64_t shortReadFrom = -1;
};
inline constexpr std::uint64_t kSilentTimeoutMicros = 1'000'000;  // a real bus's time-out
// How long a restarting device is off the bus.
inline constexpr std::uint64_t kRestartMicros = 500'000;

class VirtualBus final : public DeviceApi {
  public:
    explicit VirtualBus(Clock& clock);

    // A finished product, reached through the product interface class (property mode).
    DeviceId AttachProduct(const std::string& idText, std::shared_ptr<DeviceModel> model);
    // A bare chip in ISP mode, reached through the USB device class (plain mode).
    DeviceId AttachBareChip(const std::string& idText, std::shared_ptr<DeviceModel> model);
    // Attaches with an explicit interface class and path (tests of the match rules).
    DeviceId AttachWithPath(const Guid& interfaceClass, const std::string& path,
                            std::shared_ptr<DeviceModel> model);
    // Unplugs: the device leaves the interface sets and its open handles stop working.
    void Detach(DeviceId id);
    // A restarted device that is back on the bus is attached again, as when a host enumerates
    // it; false while it is off the bus or unplugged.
    bool Reattach(DeviceId id);
    bool IsAttached(DeviceId id) const;
    std::string PathOf(DeviceId id) const;
    // The next device attached gets serial + 1 in its path (several buses, distinct paths).
    void NumberPathsAfter(int serial) { serial_ = serial; }

    // Faults.
    void SetClassSetFails(bool fails) { classSetFails_ = fails; }
    // The device registers its interface a second time: it is listed twice, at two paths of
    // one device instance, and either path opens it.
    void SetDuplicateInterface(DeviceId id, bool duplicate);
    void SetUnreadableDetail(DeviceId id, bool unreadable);
    void SetTransferFaults(DeviceId id, const TransferFaults& faults);
    // Time each I/O control takes, in device time; by default one high-speed microframe. No
    // transfer takes less than kMinimumLatencyMicros: with none at all, device time would stand
    // still while a host polls back to back, and a flash transfer it waits for would never end.
    static constexpr std::uint64_t kDefaultLatencyMicros = 125;
    static constexpr std::uint64_t kMinimumLatencyMicros = 1;
    void SetTransferLatencyMicros(std::uint64_t micros) {
        latencyMicros_ = std::max(micros, kMinimumLatencyMicros);
    }

    // Observation.
    const std::vector<TransferRecord>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    void SetLogLimit(std::size_t limit) { logLimit_ = limit; }
    std::uint64_t TransferCount() const { return transferCount_; }
    int OpenHandleCount() const { return static_cast<int>(handles_.size()); }

    // One control request as a USB host controller hands it to the device, with the same
    // latency, rehearsed faults and restart as a request that came through a driver's carrier.
    // For IN requests `in` receives `setup.length` bytes.
    DeviceResult ControlTransfer(DeviceId id, const ControlSetup& setup,
                                 std::span<const std::uint8_t> outData, std::uint8_t* in);

    // DeviceApi
    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMicros() override { return clock_.NowMicros(); }

  private:
    struct Device {
        Guid interfaceClass;
        std::string path;
        std::shared_ptr<DeviceModel> model;
        bool attached = true;
        std::optional<std::uint64_t> backAt;  // restarting: attached again at this time
        int generation = 0;  // one more each time it leaves the bus; handles of an older one fail
        bool unreadableDetail = false;
        bool duplicateInterface = false;
        TransferFaults faults;
        std::uint64_t requests = 0;
    };
    // A member of an interface set: the device and which of its interface paths.
    struct Member {
        DeviceId id;
        bool duplicate;
    };
    struct Handle {
        DeviceId id;
        int generation;
    };

    // Attached now; a restarting device is back once its time is up.
    bool Present(const Device& device) const;
    // Leaves the bus: open handles stop working.
    void Unplug(Device& device);
    std::string MemberPath(const Member& member) const;
    DeviceResult Dispatch(Device& device, std::uint32_t code, const std::uint8_t* in,
                          std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                          TransferRecord& record);
    DeviceResult AnswerPresenceTest(const Device& device, std::uint8_t* out) const;
    // The failure a rehearsed transfer fault makes of this request, if any.
    std::optional<DeviceResult> InjectedFault(Device& device);
    // Whether the short-read fault cuts this answer.
    static bool CutShort(const Device& device, const ControlSetup& setup);
    // The request as the device model answers it.
    DeviceResult Transfer(Device& device, const ControlSetup& setup,
                          std::span<const std::uint8_t> outData, std::uint8_t* out,
                          TransferRecord& record);

    Clock& clock_;
    std::map<DeviceId, Device> devices_;
    std::map<DeviceSetHandle, std::vector<Member>> sets_;
    std::map<FileHandle, Handle> handles_;
    DeviceId nextDevice_ = 1;
    std::intptr_t nextHandle_ = 1;
    bool classSetFails_ = false;
    std::uint64_t latencyMicros_ = kDefaultLatencyMicros;
    std::vector<TransferRecord> log_;
    std::size_t logLimit_ = 1'000'000;
    std::uint64_t transferCount_ = 0;
    int serial_ = 0;
};

// Windows-style device paths for a vid/pid id text such as "vid_a7d6&pid_f017".
std::string ProductInterfacePath(const std::string& idText, int serial);
std::string UsbDeviceInterfacePath(const std::string& idText, int serial);
// The path of a second interface of the same class on the device at `path`: the same device
// instance, another reference string.
std::string SecondInterfacePath(const std::string& path);

}  // namespace qv::sim

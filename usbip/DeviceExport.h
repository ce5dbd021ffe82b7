#pragma once
// One virtual device exported over USB/IP: how the device list and the import reply describe
// it, whether a client may import it, and the URBs of the client that did. Control transfers
// are answered by the virtual device at once; isochronous URBs complete at the pace of their
// packets, so an audio stream runs at its rate and an unlink can still catch one.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Simulation.h"
#include "sim/VirtualUsbDevice.h"
#include "usbip/UsbipMessages.h"

namespace qv::usbip {

using Bytes = std::vector<std::uint8_t>;
using TimePoint = std::chrono::steady_clock::time_point;

class DeviceExport {
  public:
    DeviceExport(sim::Simulation& simulation, std::string busId, std::uint32_t busNumber);

    const std::string& BusId() const { return busId_; }
    std::string Name() const;
    ExportedDevice Description() const;
    // On the bus (not unplugged, not restarting) and not imported by a client.
    bool Available() const;
    bool Imported() const { return imported_; }
    // A client imports it: the device starts unconfigured, as after a bus reset.
    bool Import();
    // The client's connection ended: what it had pending is dropped.
    void Release();

    struct Outcome {
        std::vector<Bytes> replies;
        bool gone = false;    // the device left the bus: the connection ends
        std::string refused;  // a command the client had no business sending: it ends too
    };
    // One URB command of the importing client.
    Outcome Handle(const SubmitCommand& submit, TimePoint now);
    Outcome Handle(const UnlinkCommand& unlink);
    // The replies of isochronous URBs whose time has come.
    std::vector<Bytes> TakeDue(TimePoint now);
    std::optional<TimePoint> NextDue() const;

  private:
    struct Pending {
        std::uint32_t seqnum = 0;
        std::optional<TimePoint> due;  // none: a request the device never answers
        Bytes reply;
    };
    Outcome Control(const SubmitCommand& submit);
    Outcome Refused(std::uint32_t devid) const;
    Outcome Isochronous(const SubmitCommand& submit, TimePoint now);
    std::uint32_t DeviceId() const { return busNumber_ << 16 | deviceNumber_; }

    sim::Simulation& simulation_;
    sim::VirtualUsbDevice device_;
    std::string busId_;
    std::uint32_t busNumber_;
    std::uint32_t deviceNumber_ = 1;  // one more each time the device is back after a restart
    bool imported_ = false;
    std::vector<Pending> pending_;
    TimePoint streamFree_{};  // when the isochronous packets already queued are done
};

}  // namespace qv::usbip

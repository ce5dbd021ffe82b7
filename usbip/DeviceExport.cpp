#include "usbip/DeviceExport.h"

#include <algorithm>

#include "text/HexFormat.h"
#include "usbip/UsbipCodec.h"

namespace qv::usbip {
namespace {

using std::chrono::microseconds;
// A high-speed microframe: the unit of a high-speed URB's interval.
constexpr microseconds kMicroframe{125};
constexpr std::int32_t kMaxIntervalMicroframes = 1024;
// URBs a client may keep waiting at once; an audio stream keeps about a dozen in flight.
constexpr std::size_t kMaxPending = 256;

Bytes Reply(std::uint32_t seqnum, std::int32_t status, Bytes inData = {},
            std::uint32_t actualLength = 0) {
    SubmitReply reply;
    reply.seqnum = seqnum;
    reply.status = status;
    reply.actualLength = actualLength;
    reply.inData = std::move(inData);
    return EncodeSubmitReply(reply);
}

DeviceExport::Outcome Send(Bytes reply) {
    DeviceExport::Outcome outcome;
    outcome.replies.push_back(std::move(reply));
    return outcome;
}

}  // namespace

DeviceExport::Outcome DeviceExport::Refused(std::uint32_t devid) const {
    Outcome refused;
    refused.refused = "a command for device " + std::to_string(devid) + ", not " + busId_ + " (" +
                      std::to_string(DeviceId()) + ")";
    return refused;
}

DeviceExport::DeviceExport(sim::Simulation& simulation, std::string busId, std::uint32_t busNumber)
    : simulation_(simulation),
      device_(simulation.Bus(), simulation.Device(), simulation.Usb()),
      busId_(std::move(busId)),
      busNumber_(busNumber) {}

std::string DeviceExport::Name() const {
    const sim::UsbIdentity& usb = simulation_.Usb();
    return (usb.bareChip ? "bare chip " : "") + usb.name + " (" +
           HexText(usb.vendor, 4, HexCase::kLower) + ":" +
           HexText(usb.product, 4, HexCase::kLower) + ")";
}

ExportedDevice DeviceExport::Description() const {
    const Bytes& d = device_.Descriptors().Device();
    ExportedDevice device;
    device.path = "/sys/devices/qvdevice/usb" + std::to_string(busNumber_) + "/" + busId_;
    device.busId = busId_;
    device.busNumber = busNumber_;
    device.deviceNumber = deviceNumber_;
    device.vendor = static_cast<std::uint16_t>(d[8] | d[9] << 8);
    device.product = static_cast<std::uint16_t>(d[10] | d[11] << 8);
    device.release = static_cast<std::uint16_t>(d[12] | d[13] << 8);
    device.deviceClass = d[4];
    device.deviceSubClass = d[5];
    device.deviceProtocol = d[6];
    device.configurations = d[17];
    for (const sim::UsbInterfaceClass& setting : device_.Descriptors().Interfaces())
        if (setting.alternate == 0)
            device.interfaces.push_back({setting.cls, setting.subClass, setting.protocol});
    return device;
}

bool DeviceExport::Available() const {
    return !imported_ && simulation_.Bus().IsAttached(simulation_.Device());
}

bool DeviceExport::Import() {
    if (imported_ || !simulation_.Bus().Reattach(simulation_.Device())) return false;
    device_.Reset();
    imported_ = true;
    return true;
}

void DeviceExport::Release() {
    imported_ = false;
    pending_.clear();
}

DeviceExport::Outcome DeviceExport::Handle(const SubmitCommand& submit, TimePoint now) {
    if (submit.devid != DeviceId()) return Refused(submit.devid);
    if (pending_.size() >= kMaxPending) {
        Outcome refused;
        refused.refused = "more than " + std::to_string(kMaxPending) + " URBs waiting at once";
        return refused;
    }
    if (submit.endpoint == 0) return Control(submit);
    const std::uint8_t address =
        static_cast<std::uint8_t>(submit.endpoint | (submit.direction == kDirIn ? 0x80 : 0));
    const sim::UsbEndpoint* endpoint = device_.ActiveEndpoint(address);
    if (endpoint != nullptr && endpoint->Isochronous() && submit.packetCount > 0)
        return Isochronous(submit, now);
    return Send(Reply(submit.seqnum, kStatusStall));
}

DeviceExport::Outcome DeviceExport::Control(const SubmitCommand& submit) {
    const sim::ControlAnswer answer = device_.Control(submit.setup, submit.outData);
    const bool in = (submit.setup[0] & 0x80) != 0;
    switch (answer.outcome) {
        case sim::ControlOutcome::kDone: {
            const auto length =
                static_cast<std::uint32_t>(in ? answer.in.size() : submit.outData.size());
            return Send(Reply(submit.seqnum, 0, answer.in, length));
        }
        case sim::ControlOutcome::kStalled:
            return Send(Reply(submit.seqnum, kStatusStall));
        case sim::ControlOutcome::kFailed:
            return Send(Reply(submit.seqnum, kStatusProtocol));
        case sim::ControlOutcome::kNoAnswer:
            pending_.push_back({submit.seqnum, std::nullopt, {}});
            return {};
        case sim::ControlOutcome::kGone:
            break;
    }
    // Whenever it is back, it is enumerated as a new device.
    ++deviceNumber_;
    Outcome gone;
    gone.gone = true;
    return gone;
}

DeviceExport::Outcome DeviceExport::Isochronous(const SubmitCommand& submit, TimePoint now) {
    SubmitReply reply;
    reply.seqnum = submit.seqnum;
    reply.startFrame = submit.startFrame;
    reply.isochronous = true;
    for (IsoPacket packet : submit.packets) {
        // Every packet goes through whole: silence in, the host's samples taken out.
        packet.actualLength = packet.length;
        packet.status = 0;
        reply.actualLength += packet.length;
        reply.packets.push_back(packet);
    }
    if (submit.direction == kDirIn) reply.inData.assign(reply.actualLength, 0);
    const std::int32_t interval = std::clamp(submit.interval, 1, kMaxIntervalMicroframes);
    streamFree_ = std::max(streamFree_, now) + kMicroframe * interval * submit.packetCount;
    pending_.push_back({submit.seqnum, streamFree_, EncodeSubmitReply(reply)});
    return {};
}

DeviceExport::Outcome DeviceExport::Handle(const UnlinkCommand& unlink) {
    if (unlink.devid != DeviceId()) return Refused(unlink.devid);
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const Pending& p) { return p.seqnum == unlink.unlinkSeqnum; });
    // An URB answered already cannot be unlinked: status 0 says so.
    std::int32_t status = 0;
    if (it != pending_.end()) {
        pending_.erase(it);
        status = kStatusUnlinked;
    }
    return Send(EncodeUnlinkReply({unlink.seqnum, status}));
}

std::vector<Bytes> DeviceExport::TakeDue(TimePoint now) {
    std::vector<Bytes> replies;
    std::erase_if(pending_, [&](Pending& p) {
        if (!p.due || *p.due > now) return false;
        replies.push_back(std::move(p.reply));
        return true;
    });
    return replies;
}

std::optional<TimePoint> DeviceExport::NextDue() const {
    std::optional<TimePoint> next;
    for (const Pending& p : pending_)
        if (p.due && (!next || *p.due < *next)) next = p.due;
    return next;
}

}  // namespace qv::usbip

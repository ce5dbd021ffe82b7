#include "usbip/UsbipCodec.h"

#include <algorithm>

#include "text/HexFormat.h"

namespace qv::usbip {
namespace {

constexpr std::size_t kOpHeaderBytes = 8;
constexpr std::size_t kUrbHeaderBytes = 48;
constexpr std::size_t kIsoPacketBytes = 16;
constexpr std::uint32_t kOpStatusOk = 0;
constexpr std::uint32_t kOpStatusError = 1;
constexpr std::uint32_t kMaxEndpoint = 15;
// A submit of something other than isochronous packets carries 0, or -1 since protocol 1.1.1.
constexpr std::int32_t kNoPackets = -1;

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void Put32(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A text in a fixed field, NUL-padded; one byte always stays NUL.
void PutText(Bytes& out, const std::string& text, std::size_t field) {
    const std::size_t used = std::min(text.size(), field - 1);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(used));
    out.insert(out.end(), field - used, 0);
}

void PutOpHeader(Bytes& out, std::uint16_t code, std::uint32_t status) {
    Put16(out, kVersion);
    Put16(out, code);
    Put32(out, status);
}

void PutDevice(Bytes& out, const ExportedDevice& device) {
    PutText(out, device.path, kPathBytes);
    PutText(out, device.busId, kBusIdBytes);
    Put32(out, device.busNumber);
    Put32(out, device.deviceNumber);
    Put32(out, device.speed);
    Put16(out, device.vendor);
    Put16(out, device.product);
    Put16(out, device.release);
    out.insert(out.end(), {device.deviceClass, device.deviceSubClass, device.deviceProtocol,
                           device.configurationValue, device.configurations,
                           static_cast<std::uint8_t>(device.interfaces.size())});
}

void PutUrbBase(Bytes& out, std::uint32_t command, std::uint32_t seqnum) {
    Put32(out, command);
    Put32(out, seqnum);
    // The device id, direction and endpoint of a reply are 0: the client matches by seqnum.
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
}

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint16_t U16() {
        const std::uint16_t value = static_cast<std::uint16_t>(bytes_[at_] << 8 | bytes_[at_ + 1]);
        at_ += 2;
        return value;
    }
    std::uint32_t U32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | bytes_[at_++];
        return value;
    }
    std::int32_t S32() { return static_cast<std::int32_t>(U32()); }
    std::span<const std::uint8_t> Take(std::size_t count) {
        const auto part = bytes_.subspan(at_, count);
        at_ += count;
        return part;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

Decoded Malformed(std::string why) {
    Decoded decoded;
    decoded.state = Decoded::State::kMalformed;
    decoded.error = std::move(why);
    return decoded;
}

Decoded Message(ClientMessage message, std::size_t consumed) {
    Decoded decoded;
    decoded.state = Decoded::State::kMessage;
    decoded.consumed = consumed;
    decoded.message = std::move(message);
    return decoded;
}

std::string Hex(std::uint32_t value) {
    return "0x" + HexText(value, 8, HexCase::kLower);
}

Decoded DecodeOperation(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kOpHeaderBytes) return {};
    Reader in(bytes);
    const std::uint16_t version = in.U16();
    const std::uint16_t code = in.U16();
    in.U32();  // a request's status field means nothing
    if (version != kVersion)
        return Malformed("protocol version " + Hex(version) + ", not " + Hex(kVersion));
    if (code == kOpReqDevlist) return Message(DevlistRequest{}, kOpHeaderBytes);
    if (code != kOpReqImport) return Malformed("unknown operation " + Hex(code));
    if (bytes.size() < kOpHeaderBytes + kBusIdBytes) return {};
    const auto field = in.Take(kBusIdBytes);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (end == field.end()) return Malformed("a bus id of 32 bytes without its end");
    return Message(ImportRequest{std::string(field.begin(), end)}, kOpHeaderBytes + kBusIdBytes);
}

Decoded DecodeSubmit(std::span<const std::uint8_t> bytes, Reader& in, SubmitCommand submit) {
    submit.transferFlags = in.U32();
    submit.length = in.U32();
    submit.startFrame = in.S32();
    submit.packetCount = in.S32();
    submit.interval = in.S32();
    const auto setup = in.Take(submit.setup.size());
    std::copy(setup.begin(), setup.end(), submit.setup.begin());
    if (submit.direction != kDirOut && submit.direction != kDirIn)
        return Malformed("direction " + std::to_string(submit.direction));
    if (submit.endpoint > kMaxEndpoint)
        return Malformed("endpoint " + std::to_string(submit.endpoint));
    if (submit.length > kMaxTransferBytes)
        return Malformed("a transfer of " + std::to_string(submit.length) + " bytes (at most " +
                         std::to_string(kMaxTransferBytes) + ")");
    const bool iso = submit.packetCount != 0 && submit.packetCount != kNoPackets;
    if (iso &&
        (submit.packetCount < 0 || static_cast<std::uint32_t>(submit.packetCount) > kMaxIsoPackets))
        return Malformed(std::to_string(submit.packetCount) + " isochronous packets (at most " +
                         std::to_string(kMaxIsoPackets) + ")");
    const std::size_t dataBytes = submit.direction == kDirOut ? submit.length : 0;
    const std::size_t packetBytes = iso ? kIsoPacketBytes * submit.packetCount : 0;
    const std::size_t total = kUrbHeaderBytes + dataBytes + packetBytes;
    if (bytes.size() < total) return {};
    const auto data = in.Take(dataBytes);
    submit.outData.assign(data.begin(), data.end());
    for (std::int32_t i = 0; iso && i < submit.packetCount; ++i) {
        IsoPacket packet;
        packet.offset = in.U32();
        packet.length = in.U32();
        packet.actualLength = in.U32();
        packet.status = in.S32();
        if (packet.offset > submit.length || packet.length > submit.length - packet.offset)
            return Malformed("isochronous packet " + std::to_string(i) +
                             " lies outside the transfer buffer");
        submit.packets.push_back(packet);
    }
    return Message(std::move(submit), total);
}

Decoded DecodeUrb(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kUrbHeaderBytes) return {};
    Reader in(bytes);
    const std::uint32_t command = in.U32();
    const std::uint32_t seqnum = in.U32();
    const std::uint32_t devid = in.U32();
    const std::uint32_t direction = in.U32();
    const std::uint32_t endpoint = in.U32();
    if (command == kCmdSubmit) {
        SubmitCommand submit;
        submit.seqnum = seqnum;
        submit.devid = devid;
        submit.direction = direction;
        submit.endpoint = endpoint;
        return DecodeSubmit(bytes, in, std::move(submit));
    }
    if (command != kCmdUnlink) return Malformed("unknown command " + Hex(command));
    return Message(UnlinkCommand{seqnum, devid, direction, endpoint, in.U32()}, kUrbHeaderBytes);
}

}  // namespace

std::vector<std::uint8_t> EncodeDevlistReply(const std::vector<ExportedDevice>& devices) {
    Bytes out;
    PutOpHeader(out, kOpRepDevlist, kOpStatusOk);
    Put32(out, static_cast<std::uint32_t>(devices.size()));
    for (const ExportedDevice& device : devices) {
        PutDevice(out, device);
        for (const InterfaceClass& interface : device.interfaces)
            out.insert(out.end(), {interface.cls, interface.subClass, interface.protocol, 0});
    }
    return out;
}

std::vector<std::uint8_t> EncodeImportReply(const ExportedDevice* device) {
    Bytes out;
    PutOpHeader(out, kOpRepImport, device != nullptr ? kOpStatusOk : kOpStatusError);
    if (device != nullptr) PutDevice(out, *device);
    return out;
}

std::vector<std::uint8_t> EncodeSubmitReply(const SubmitReply& reply) {
    Bytes out;
    PutUrbBase(out, kRetSubmit, reply.seqnum);
    Put32(out, static_cast<std::uint32_t>(reply.status));
    Put32(out, reply.actualLength);
    Put32(out, static_cast<std::uint32_t>(reply.startFrame));
    Put32(out, reply.isochronous ? static_cast<std::uint32_t>(reply.packets.size()) : 0);
    Put32(out, static_cast<std::uint32_t>(reply.errorCount));
    out.insert(out.end(), 8, 0);
    out.insert(out.end(), reply.inData.begin(), reply.inData.end());
    for (const IsoPacket& packet : reply.packets) {
        Put32(out, packet.offset);
        Put32(out, packet.length);
        Put32(out, packet.actualLength);
        Put32(out, static_cast<std::uint32_t>(packet.status));
    }
    return out;
}

std::vector<std::uint8_t> EncodeUnlinkReply(const UnlinkReply& reply) {
    Bytes out;
    PutUrbBase(out, kRetUnlink, reply.seqnum);
    Put32(out, static_cast<std::uint32_t>(reply.status));
    out.insert(out.end(), 24, 0);
    return out;
}

Decoded DecodeClientMessage(std::span<const std::uint8_t> bytes, Phase phase) {
    return phase == Phase::kOperation ? DecodeOperation(bytes) : DecodeUrb(bytes);
}

}  // namespace qv::usbip

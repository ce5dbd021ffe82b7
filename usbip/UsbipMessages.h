#pragma once
// The messages of the USB/IP protocol (version 1.1.1) as values: the operations before a
// device is imported (list the exported devices, import one) and the URB commands after it
// (submit, unlink) with their replies. All numbers travel in network byte order.

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace qv::usbip {

inline constexpr std::uint16_t kVersion = 0x0111;
inline constexpr std::uint16_t kOpReqDevlist = 0x8005;
inline constexpr std::uint16_t kOpRepDevlist = 0x0005;
inline constexpr std::uint16_t kOpReqImport = 0x8003;
inline constexpr std::uint16_t kOpRepImport = 0x0003;
inline constexpr std::uint32_t kCmdSubmit = 1;
inline constexpr std::uint32_t kCmdUnlink = 2;
inline constexpr std::uint32_t kRetSubmit = 3;
inline constexpr std::uint32_t kRetUnlink = 4;
inline constexpr std::uint32_t kDirOut = 0;
inline constexpr std::uint32_t kDirIn = 1;
inline constexpr std::uint32_t kSpeedHigh = 3;

// Statuses of a returned URB and of an unlink, as the Linux USB core numbers them (negative).
inline constexpr std::int32_t kStatusStall = -32;      // -EPIPE
inline constexpr std::int32_t kStatusProtocol = -71;   // -EPROTO
inline constexpr std::int32_t kStatusUnlinked = -104;  // -ECONNRESET

// Bounds that keep a client from making the server hold more than a transfer can be: the
// largest buffer of one URB and the most isochronous packets in one, as the kernel's own.
inline constexpr std::uint32_t kMaxTransferBytes = 1024 * 1024;
inline constexpr std::uint32_t kMaxIsoPackets = 1024;

inline constexpr std::size_t kPathBytes = 256;
inline constexpr std::size_t kBusIdBytes = 32;

struct InterfaceClass {
    std::uint8_t cls = 0;
    std::uint8_t subClass = 0;
    std::uint8_t protocol = 0;
};

// One exported device as the device list and the import reply describe it.
struct ExportedDevice {
    std::string path;   // the server's name for it, at most 255 bytes
    std::string busId;  // what the client imports, at most 31 bytes
    std::uint32_t busNumber = 0;
    std::uint32_t deviceNumber = 0;
    std::uint32_t speed = kSpeedHigh;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t release = 0;
    std::uint8_t deviceClass = 0;
    std::uint8_t deviceSubClass = 0;
    std::uint8_t deviceProtocol = 0;
    std::uint8_t configurationValue = 0;
    std::uint8_t configurations = 1;
    std::vector<InterfaceClass> interfaces;  // one per interface, its first setting
};

struct IsoPacket {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t actualLength = 0;
    std::int32_t status = 0;
};

struct DevlistRequest {};
struct ImportRequest {
    std::string busId;
};

struct SubmitCommand {
    std::uint32_t seqnum = 0;
    std::uint32_t devid = 0;
    std::uint32_t direction = kDirOut;
    std::uint32_t endpoint = 0;
    std::uint32_t transferFlags = 0;
    std::uint32_t length = 0;  // of the transfer buffer
    std::int32_t startFrame = 0;
    std::int32_t packetCount = 0;  // isochronous packets; 0 or -1 for none
    std::int32_t interval = 0;
    std::array<std::uint8_t, 8> setup{};
    std::vector<std::uint8_t> outData;  // OUT only: `length` bytes
    std::vector<IsoPacket> packets;
};

struct UnlinkCommand {
    std::uint32_t seqnum = 0;
    std::uint32_t devid = 0;
    std::uint32_t direction = kDirOut;
    std::uint32_t endpoint = 0;
    std::uint32_t unlinkSeqnum = 0;
};

struct SubmitReply {
    std::uint32_t seqnum = 0;
    std::int32_t status = 0;
    std::uint32_t actualLength = 0;
    std::int32_t startFrame = 0;
    std::int32_t errorCount = 0;
    std::vector<std::uint8_t> inData;  // IN only; of isochronous packets, packed without gaps
    std::vector<IsoPacket> packets;
    bool isochronous = false;  // the packet count is sent as given, else 0
};

struct UnlinkReply {
    std::uint32_t seqnum = 0;
    std::int32_t status = 0;
};

using ClientMessage = std::variant<DevlistRequest, ImportRequest, SubmitCommand, UnlinkCommand>;

}  // namespace qv::usbip

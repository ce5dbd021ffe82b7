#pragma once
// Encodes the server's messages and decodes the client's from the bytes received so far. The
// decoder takes whole messages only and checks every field a server relies on, so a client that
// sends nonsense gets a reason, not a server that reads past what it sent or holds unbounded
// memory.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "usbip/UsbipMessages.h"

namespace qv::usbip {

std::vector<std::uint8_t> EncodeDevlistReply(const std::vector<ExportedDevice>& devices);
// A refused import (no such device, or busy) has no device.
std::vector<std::uint8_t> EncodeImportReply(const ExportedDevice* device);
std::vector<std::uint8_t> EncodeSubmitReply(const SubmitReply& reply);
std::vector<std::uint8_t> EncodeUnlinkReply(const UnlinkReply& reply);

// What the client speaks: operations until a device is imported, URB commands after.
enum class Phase { kOperation, kImported };

struct Decoded {
    enum class State { kNeedMore, kMessage, kMalformed } state = State::kNeedMore;
    std::size_t consumed = 0;  // bytes of the message, when there is one
    std::optional<ClientMessage> message;
    std::string error;  // why the bytes are no message of this phase
};

Decoded DecodeClientMessage(std::span<const std::uint8_t> bytes, Phase phase);

}  // namespace qv::usbip

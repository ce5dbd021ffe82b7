// The USB/IP decoder on any bytes a client may send. Invariants:
//  - the bytes are a whole message, more are needed, or they are refused with a reason;
//  - a message needs exactly the bytes it consumed: those alone decode to it, one byte fewer
//    needs more;
//  - what a submit holds is what the server may rely on: OUT data of the announced length (IN:
//    none), isochronous packets inside the transfer buffer, within the bounds;
//  - the decoder reads only the bytes it is given (a copy of their exact size, so
//    AddressSanitizer sees a read past them).
//
// Input: byte 0 bit 0 chooses the phase (set: after an import), the rest is the stream.

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "usbip/UsbipCodec.h"

namespace {

using namespace qv::usbip;
using qv::fuzz::Check;

Decoded DecodeExact(const std::uint8_t* data, std::size_t size, Phase phase) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    return DecodeClientMessage(bytes, phase);
}

void CheckSubmit(const SubmitCommand& submit) {
    Check(submit.length <= kMaxTransferBytes, "a transfer within the bound");
    Check(submit.outData.size() == (submit.direction == kDirOut ? submit.length : 0),
          "OUT data of the announced length, none for IN");
    Check(submit.packets.size() <= kMaxIsoPackets, "packets within the bound");
    for (const IsoPacket& packet : submit.packets)
        Check(packet.offset <= submit.length && packet.length <= submit.length - packet.offset,
              "packets inside the transfer buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Phase phase = (data[0] & 1) != 0 ? Phase::kImported : Phase::kOperation;
    const Decoded decoded = DecodeExact(data + 1, size - 1, phase);
    switch (decoded.state) {
        case Decoded::State::kMalformed:
            Check(!decoded.error.empty(), "a refusal says why");
            break;
        case Decoded::State::kNeedMore:
            Check(!decoded.message, "no message while more is needed");
            break;
        case Decoded::State::kMessage: {
            Check(
                decoded.message.has_value() && decoded.consumed > 0 && decoded.consumed <= size - 1,
                "a message within the bytes");
            const Decoded alone = DecodeExact(data + 1, decoded.consumed, phase);
            Check(alone.state == Decoded::State::kMessage && alone.consumed == decoded.consumed,
                  "a message decodes from its own bytes");
            const Decoded cut = DecodeExact(data + 1, decoded.consumed - 1, phase);
            Check(cut.state == Decoded::State::kNeedMore, "one byte fewer needs more");
            if (const auto* submit = std::get_if<SubmitCommand>(&*decoded.message))
                CheckSubmit(*submit);
            break;
        }
    }
    return 0;
}

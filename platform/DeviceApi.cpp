#include "platform/DeviceApi.h"

#include "text/HexFormat.h"

namespace qv {

std::string GuidText(const Guid& guid) {
    const auto& b = guid.bytes;
    // The first three fields are stored little-endian and written most significant byte first.
    const std::uint8_t written[16] = {b[3], b[2], b[1],  b[0],  b[5],  b[4],  b[7],  b[6],
                                      b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
    std::string text = "{";
    std::size_t at = 0;
    for (const std::size_t field : {4, 2, 2, 2, 6}) {
        if (at != 0) text += '-';
        AppendHexBytes(text, written + at, field, HexCase::kLower);
        at += field;
    }
    return text + '}';
}

}  // namespace qv

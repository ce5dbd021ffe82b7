#include "platform/carriers/RequestBlocks.h"

#include <algorithm>
#include <cstring>

#include "text/HexFormat.h"

namespace qv {
namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::string Hex(std::uint32_t v) {
    return "0x" + HexText(v, 1);
}

// A carrier the driver would refuse, and why.
Problem Refused(std::string why) {
    return {FailureKind::kRefused, std::move(why)};
}

// The 40 bytes before a property block's data; the rest of `block` is left as it is.
void PutPropertyHeader(const ControlSetup& setup, std::uint8_t* block) {
    std::copy(kVendorPropertySet.bytes.begin(), kVendorPropertySet.bytes.end(), block);
    Put32(&block[16], kVendorPropertyId);
    Put32(&block[20], setup.IsDeviceToHost() ? kKsPropertyTypeGet : kKsPropertyTypeSet);
    block[24] = kPropertyRequestTypeByte;
    block[25] = setup.request;
    Put16(&block[26], setup.value);
    Put16(&block[28], setup.index);
    std::fill(&block[30], &block[36], 0);
    Put32(&block[36], setup.length);
}

constexpr std::size_t kPropertyHeaderSize = 40;

}  // namespace

PlainRequestBlock EncodePlainRequestBlock(const ControlSetup& setup, std::uint16_t lengthField) {
    PlainRequestBlock block{};
    block[4] = setup.requestType;
    block[5] = setup.request;
    Put16(&block[6], setup.value);
    Put16(&block[8], setup.index);
    Put16(&block[10], lengthField);
    return block;
}

PlainRequestBlock EncodeDescriptorQueryBlock() {
    const ControlSetup query{.requestType = 0x80, .request = 6, .value = 0x0100, .index = 1};
    return EncodePlainRequestBlock(query, kDescriptorLength);
}

std::uint32_t PlainIoctlCode(const ControlSetup& setup) {
    return setup.IsDeviceToHost() ? kIoctlPlainIn : kIoctlPlainOut;
}

std::size_t PropertyRequestBlockSize(std::uint32_t length) {
    return length == 0 ? 48 : std::size_t{length} + 47;
}

void EncodePropertyRequestBlock(const VendorRequest& request, std::vector<std::uint8_t>& block) {
    // 40 header bytes, the data and 7 trailing zero bytes always fit in length + 48.
    const std::uint32_t length = request.setup.length;
    block.assign(std::size_t{length} + 48, 0);
    PutPropertyHeader(request.setup, block.data());
    if (length != 0 && request.data != nullptr)
        std::memcpy(&block[kPropertyHeaderSize], request.data, length);
}

std::array<std::uint8_t, kKsPropertySize> EncodeSupportQuery() {
    std::array<std::uint8_t, kKsPropertySize> query{};
    std::copy(kVendorPropertySet.bytes.begin(), kVendorPropertySet.bytes.end(), query.begin());
    Put32(&query[16], 0);
    Put32(&query[20], kKsPropertyTypeSetSupport);
    return query;
}

std::uint32_t ExpectedReturnLength(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                   std::uint32_t outSize) {
    if (code == kIoctlPlainIn) return outSize;
    const bool propertyGet = code == kIoctlKsProperty && in != nullptr &&
                             inSize > kKsPropertySize && Get32(&in[20]) == kKsPropertyTypeGet;
    return propertyGet ? outSize : 0;
}

DecodeResult DecodePlainRequest(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                const std::uint8_t* out, std::uint32_t outSize) {
    if (code != kIoctlPlainIn && code != kIoctlPlainOut)
        return Refused("unknown I/O control code " + Hex(code));
    if (in == nullptr || inSize != kPlainBlockSize)
        return Refused("plain block of " + std::to_string(inSize) + " bytes, expected 24");
    const ControlSetup fields{.requestType = in[4],
                              .request = in[5],
                              .value = Get16(&in[6]),
                              .index = Get16(&in[8]),
                              .length = outSize};
    const std::uint16_t lengthField = Get16(&in[10]);
    const bool isPresenceTest = lengthField == kDescriptorLength;
    const PlainRequestBlock expected =
        isPresenceTest ? EncodeDescriptorQueryBlock() : EncodePlainRequestBlock(fields);
    if (!std::equal(expected.begin(), expected.end(), in))
        return Refused("plain block differs from its layout");
    if (isPresenceTest) {
        if (code != kIoctlPlainIn || outSize != kDescriptorLength)
            return Refused("descriptor query needs code 0x22242E and an 18-byte buffer");
        return DecodedCarrier{.kind = CarrierKind::kPresenceTest, .request = std::nullopt};
    }
    if (code != PlainIoctlCode(fields))
        return Refused("I/O control code " + Hex(code) + " does not match request type " +
                       Hex(fields.requestType));
    if (outSize != 0 && out == nullptr) return Refused("data length without a buffer");
    DecodedCarrier result{.request = DecodedRequest{.setup = fields, .outData = {}}};
    if (!fields.IsDeviceToHost()) result.request->outData = {out, outSize};
    return result;
}

DecodeResult DecodePropertyRequest(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                                   std::uint32_t outSize) {
    if (code != kIoctlKsProperty) return Refused("unknown I/O control code " + Hex(code));
    if (in == nullptr || inSize < kKsPropertySize)
        return Refused("property block of " + std::to_string(inSize) + " bytes is too short");
    if (inSize == kKsPropertySize) {
        const auto query = EncodeSupportQuery();
        if (!std::equal(query.begin(), query.end(), in) || outSize != 0)
            return Refused("support query differs from its layout");
        return DecodedCarrier{.kind = CarrierKind::kPresenceTest, .request = std::nullopt};
    }
    if (inSize < 48)
        return Refused("property block of " + std::to_string(inSize) + " bytes, at least 48");
    const std::uint32_t length = Get32(&in[36]);
    if (inSize != PropertyRequestBlockSize(length))
        return Refused("property block of " + std::to_string(inSize) + " bytes for length " +
                       std::to_string(length));
    if (outSize != length)
        return Refused("output buffer of " + std::to_string(outSize) + " bytes for length " +
                       std::to_string(length));
    const std::uint32_t flags = Get32(&in[20]);
    if (flags != kKsPropertyTypeGet && flags != kKsPropertyTypeSet)
        return Refused("property flags " + Hex(flags));
    const ControlSetup fields{
        .requestType = flags == kKsPropertyTypeGet ? kRequestTypeIn : kRequestTypeOut,
        .request = in[25],
        .value = Get16(&in[26]),
        .index = Get16(&in[28]),
        .length = length};
    // The header as the encoder writes it, then only zeros after the data.
    std::array<std::uint8_t, kPropertyHeaderSize> header;
    PutPropertyHeader(fields, header.data());
    const std::uint8_t* trailer = in + kPropertyHeaderSize + length;
    if (!std::equal(header.begin(), header.end(), in) ||
        !std::all_of(trailer, in + inSize, [](std::uint8_t b) { return b == 0; }))
        return Refused("property block differs from its layout");
    DecodedCarrier result{.request = DecodedRequest{.setup = fields, .outData = {}}};
    if (!fields.IsDeviceToHost()) result.request->outData = {in + kPropertyHeaderSize, length};
    return result;
}

}  // namespace qv

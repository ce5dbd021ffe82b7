// The request carrier decoders (plain block and property block) on any bytes. Invariants:
//  - a block is decoded exactly or refused with a reason: an accepted request encodes back to
//    the very bytes it came from, with the I/O control code and buffer size that carried it;
//  - the decoders read only the block and the buffer they are given (both allocated to their
//    exact size, so AddressSanitizer sees a read past them);
//  - every request the link can encode decodes to itself (the round trip).
//
// Input: byte 0 chooses the carrier (bit 0: property) and the I/O control code (bits 1-2; 3 takes
// bytes 1-4 as the code), bytes 5-8 the output size, the rest is the block (plain: at most
// 64 bytes of it, then the output buffer's bytes).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/carriers/RequestBlocks.h"

namespace {

using qv::fuzz::Check;

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// A heap copy of exactly `n` bytes (none: a null pointer), so a read past it is a finding.
std::unique_ptr<std::uint8_t[]> Exact(const std::uint8_t* p, std::size_t n) {
    if (n == 0) return nullptr;
    auto copy = std::make_unique<std::uint8_t[]>(n);
    std::memcpy(copy.get(), p, n);
    return copy;
}

void CheckPlain(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                const std::uint8_t* out, std::uint32_t outSize) {
    const qv::DecodeResult r = qv::DecodePlainRequest(code, in, inSize, out, outSize);
    if (!r.ok()) {
        Check(r.kind() == qv::FailureKind::kRefused, "a refused plain block is refused");
        return;
    }
    Check(inSize == qv::kPlainBlockSize, "an accepted plain block is 24 bytes");
    if (r->kind == qv::CarrierKind::kPresenceTest) {
        const auto query = qv::EncodeDescriptorQueryBlock();
        Check(std::equal(query.begin(), query.end(), in), "the descriptor query is exact");
        Check(code == qv::kIoctlPlainIn && outSize == qv::kDescriptorLength,
              "the descriptor query has its code and buffer");
        return;
    }
    Check(r->request.has_value(), "an accepted plain block gives a request");
    const qv::ControlSetup& d = r->request->setup;
    const auto outData = r->request->outData;
    const auto block = qv::EncodePlainRequestBlock(d);
    Check(std::equal(block.begin(), block.end(), in), "a plain block encodes back to itself");
    Check(code == qv::PlainIoctlCode(d), "the code matches the direction");
    Check(d.length == outSize, "the length is the buffer's size");
    if (d.IsDeviceToHost()) {
        Check(outData.empty(), "an IN request carries no data");
    } else {
        Check(outData.size() == outSize && (outSize == 0 || outData.data() == out),
              "an OUT request carries the buffer's bytes");
    }
}

void CheckProperty(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                   std::uint32_t outSize) {
    const qv::DecodeResult r = qv::DecodePropertyRequest(code, in, inSize, outSize);
    if (!r.ok()) {
        Check(r.kind() == qv::FailureKind::kRefused, "a refused property block is refused");
        return;
    }
    Check(code == qv::kIoctlKsProperty, "an accepted property block has its code");
    if (r->kind == qv::CarrierKind::kPresenceTest) {
        const auto query = qv::EncodeSupportQuery();
        Check(inSize == query.size() && std::equal(query.begin(), query.end(), in) && outSize == 0,
              "the support query is exact");
        return;
    }
    Check(r->request.has_value(), "an accepted property block gives a request");
    const qv::ControlSetup& d = r->request->setup;
    const auto outData = r->request->outData;
    Check(inSize == qv::PropertyRequestBlockSize(d.length), "the block size follows the length");
    Check(outSize == d.length, "the buffer size is the length");
    Check(d.IsDeviceToHost() ? outData.empty()
                             : outData.size() == d.length && outData.data() == in + 40,
          "an OUT request carries the block's data area, an IN request none");
    // An IN request's data area is not its data; the block's own bytes stand in for it.
    std::vector<std::uint8_t> data(in + 40, in + 40 + d.length);
    std::vector<std::uint8_t> block;
    qv::EncodePropertyRequestBlock({d, data.data()}, block);
    Check(block.size() >= inSize && std::equal(in, in + inSize, block.begin()),
          "a property block encodes back to itself");
}

// What the link sends for a request decodes to that request, in either carrier.
void CheckRoundTrip(const std::uint8_t* p, std::size_t n) {
    if (n < 8) return;
    std::vector<std::uint8_t> data(p + 8, p + n);
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    const qv::ControlSetup setup{
        .requestType = (p[0] & 1) ? qv::kRequestTypeIn : qv::kRequestTypeOut,
        .request = p[1],
        .value = static_cast<std::uint16_t>(p[2] | p[3] << 8),
        .index = static_cast<std::uint16_t>(p[4] | p[5] << 8),
        .length = length};
    const auto expectRequest = [&](const qv::DecodeResult& r, const char* what) {
        Check(r.ok() && r->request.has_value() && r->kind == qv::CarrierKind::kVendorRequest, what);
        const qv::ControlSetup& d = r->request->setup;
        const auto outData = r->request->outData;
        Check(d.requestType == setup.requestType && d.request == setup.request &&
                  d.value == setup.value && d.index == setup.index && d.length == length,
              what);
        Check(setup.IsDeviceToHost()
                  ? outData.empty()
                  : std::equal(outData.begin(), outData.end(), data.begin(), data.end()),
              what);
    };
    if (!(p[6] == 0x12 && p[7] == 0)) {  // a length field of 18 is the descriptor query
        const auto block = qv::EncodePlainRequestBlock(setup);
        expectRequest(
            qv::DecodePlainRequest(qv::PlainIoctlCode(setup), block.data(),
                                   static_cast<std::uint32_t>(block.size()), data.data(), length),
            "a plain block of the link decodes to its request");
    }
    std::vector<std::uint8_t> block;
    qv::EncodePropertyRequestBlock({setup, data.data()}, block);
    const auto sent = Exact(block.data(), qv::PropertyRequestBlockSize(length));
    expectRequest(qv::DecodePropertyRequest(
                      qv::kIoctlKsProperty, sent.get(),
                      static_cast<std::uint32_t>(qv::PropertyRequestBlockSize(length)), length),
                  "a property block of the link decodes to its request");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    CheckRoundTrip(data, size);

    const bool property = data[0] & 1;
    static constexpr std::array<std::uint32_t, 3> kCodes{qv::kIoctlPlainIn, qv::kIoctlPlainOut,
                                                         qv::kIoctlKsProperty};
    const unsigned pick = (data[0] >> 1) & 3;
    const std::uint32_t code = pick < 3 ? kCodes[pick] : Get32(data + 1);
    const std::uint32_t outSize = Get32(data + 5);
    const std::uint8_t* rest = data + 9;
    const std::size_t left = size - 9;
    if (property) {
        const auto in = Exact(rest, left);
        CheckProperty(code, in.get(), static_cast<std::uint32_t>(left), outSize);
    } else {
        const std::size_t inSize = std::min<std::size_t>(left, 24 + (data[0] >> 3) % 8 - 4);
        const std::size_t outBytes = std::min<std::size_t>(left - inSize, outSize % 4096);
        const auto in = Exact(rest, inSize);
        const auto out = Exact(rest + inSize, outBytes);
        CheckPlain(code, in.get(), static_cast<std::uint32_t>(inSize), out.get(),
                   static_cast<std::uint32_t>(outBytes));
    }
    return 0;
}

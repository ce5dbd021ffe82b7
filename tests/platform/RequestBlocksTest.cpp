#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "platform/DeviceApi.h"
#include "platform/carriers/RequestBlocks.h"

namespace qv {
namespace {

std::vector<std::uint8_t> Pattern(std::uint32_t length) {
    std::vector<std::uint8_t> data(length);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    return data;
}

TEST(PlainRequestBlock, LaysOutFieldsLittleEndianOverZeros) {
    for (std::uint32_t length : {0u, 1u, 4u, 64u, 256u}) {
        ControlSetup request{.requestType = 0xC3,
                             .request = 0x81,
                             .value = 0x1234,
                             .index = 0xABCD,
                             .length = length};
        const PlainRequestBlock block = EncodePlainRequestBlock(request);
        const PlainRequestBlock expected = {0, 0, 0, 0, 0xC3, 0x81, 0x34, 0x12, 0xCD, 0xAB, 0, 0,
                                            0, 0, 0, 0, 0,    0,    0,    0,    0,    0,    0, 0};
        EXPECT_EQ(block, expected) << "length " << length;
        EXPECT_EQ(PlainIoctlCode(request), kIoctlPlainIn);
        request.requestType = 0x43;
        EXPECT_EQ(PlainIoctlCode(request), kIoctlPlainOut);
    }
}

TEST(PlainRequestBlock, DescriptorQueryCarriesEighteenAtOffsetTen) {
    const PlainRequestBlock expected = {0, 0, 0, 0, 0x80, 6, 0x00, 0x01, 1, 0, 18, 0,
                                        0, 0, 0, 0, 0,    0, 0,    0,    0, 0, 0,  0};
    EXPECT_EQ(EncodeDescriptorQueryBlock(), expected);
}

TEST(PropertyRequestBlock, SizeAndLayoutForEachLength) {
    const std::uint8_t kSet[16] = {0x4D, 0xC0, 0xD7, 0xF6, 0xC3, 0xC5, 0x81, 0x41,
                                   0x9E, 0xD7, 0x50, 0x4A, 0xBE, 0x0C, 0xDD, 0xFF};
    for (std::uint32_t length : {0u, 1u, 4u, 64u, 256u}) {
        auto data = Pattern(length);
        for (std::uint8_t type : {std::uint8_t{0x43}, std::uint8_t{0xC3}}) {
            const VendorRequest request{{.requestType = type,
                                         .request = 0x90,
                                         .value = 0xBEEF,
                                         .index = 0x0102,
                                         .length = length},
                                        data.data()};
            std::vector<std::uint8_t> block(3, 0xEE);  // a reused buffer: stale bytes go
            EncodePropertyRequestBlock(request, block);
            const std::size_t sent = PropertyRequestBlockSize(length);
            EXPECT_EQ(sent, length == 0 ? 48u : length + 47u);
            ASSERT_GE(block.size(), sent);
            std::vector<std::uint8_t> expected(sent, 0);
            std::copy(std::begin(kSet), std::end(kSet), expected.begin());
            expected[16] = 7;
            expected[20] = type == 0xC3 ? 1 : 2;
            expected[24] = 0x20;
            expected[25] = 0x90;
            expected[26] = 0xEF;
            expected[27] = 0xBE;
            expected[28] = 0x02;
            expected[29] = 0x01;
            expected[36] = static_cast<std::uint8_t>(length);
            expected[37] = static_cast<std::uint8_t>(length >> 8);
            std::copy(data.begin(), data.end(), expected.begin() + 40);
            EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + sent), expected)
                << "length " << length << " type " << int(type);
        }
    }
}

TEST(RequestDecoding, RoundTripsAndRefusesDeviations) {
    auto data = Pattern(4);
    const VendorRequest out{
        {.requestType = 0x43, .request = 0x80, .value = 0, .index = 1, .length = 4}, data.data()};
    std::vector<std::uint8_t> block;
    EncodePropertyRequestBlock(out, block);
    const auto sent = static_cast<std::uint32_t>(PropertyRequestBlockSize(4));
    DecodeResult good = DecodePropertyRequest(kIoctlKsProperty, block.data(), sent, 4);
    ASSERT_TRUE(good.ok()) << good.text();
    EXPECT_TRUE(std::ranges::equal(good->request->outData, data));
    EXPECT_EQ(good->request->setup.index, 1);

    auto damaged = block;
    damaged[44] = 1;  // a trailing pad byte
    EXPECT_FALSE(DecodePropertyRequest(kIoctlKsProperty, damaged.data(), sent, 4).ok());
    EXPECT_FALSE(DecodePropertyRequest(kIoctlKsProperty, block.data(), sent + 1, 4).ok());
    EXPECT_FALSE(DecodePropertyRequest(kIoctlKsProperty, block.data(), sent, 3).ok());

    const auto plain = EncodePlainRequestBlock(out.setup);
    EXPECT_TRUE(DecodePlainRequest(kIoctlPlainOut, plain.data(), 24, data.data(), 4).ok());
    EXPECT_FALSE(DecodePlainRequest(kIoctlPlainIn, plain.data(), 24, data.data(), 4).ok());
    auto plainDamaged = plain;
    plainDamaged[0] = 1;
    EXPECT_FALSE(DecodePlainRequest(kIoctlPlainOut, plainDamaged.data(), 24, data.data(), 4).ok());
}

// What a driver must return for the request to count as whole: the buffer of every read,
// nothing for a write or the support query.
TEST(RequestDecoding, AReadExpectsItsWholeBufferBack) {
    std::uint8_t data[8] = {};
    const ControlSetup in{.requestType = 0xC3, .request = 0x82, .length = 8};
    const ControlSetup out{.requestType = 0x43, .request = 0x80, .index = 1, .length = 8};
    std::vector<std::uint8_t> get, set;
    EncodePropertyRequestBlock({in, data}, get);
    EncodePropertyRequestBlock({out, data}, set);
    const auto plainIn = EncodePlainRequestBlock(in);
    const auto plainOut = EncodePlainRequestBlock(out);
    const auto query = EncodeSupportQuery();
    const auto size = static_cast<std::uint32_t>(PropertyRequestBlockSize(8));
    EXPECT_EQ(ExpectedReturnLength(kIoctlKsProperty, get.data(), size, 8), 8u);
    EXPECT_EQ(ExpectedReturnLength(kIoctlKsProperty, set.data(), size, 8), 0u);
    EXPECT_EQ(ExpectedReturnLength(kIoctlKsProperty, query.data(), kKsPropertySize, 0), 0u);
    EXPECT_EQ(ExpectedReturnLength(kIoctlPlainIn, plainIn.data(), 24, 8), 8u);
    EXPECT_EQ(ExpectedReturnLength(kIoctlPlainOut, plainOut.data(), 24, 8), 0u);
}

// Interface paths and traffic logs carry interface classes in this exact form: the first three
// fields byte-swapped, lower case.
TEST(GuidText, WritesTheRegistryFormOfAnInterfaceClass) {
    EXPECT_EQ(GuidText(kProductInterfaceClass), "{50894fa4-9206-4a91-8728-cf6f268f271d}");
    Guid counting{};
    for (std::size_t i = 0; i < counting.bytes.size(); ++i)
        counting.bytes[i] = static_cast<std::uint8_t>(i * 0x11);
    EXPECT_EQ(GuidText(counting), "{33221100-5544-7766-8899-aabbccddeeff}");
}

}  // namespace
}  // namespace qv

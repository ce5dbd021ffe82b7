#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/DefaultImage.h"
#include "image/ParameterTableScan.h"
#include "image/UserParameterTable.h"

namespace qv {
namespace {

std::string Text(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

TEST(DefaultImage, SizeAndIdentity) {
    EXPECT_EQ(DefaultImage().size(), 32768u);
    EXPECT_EQ(&DefaultImage(), &DefaultImage());
}

TEST(DefaultImage, DocumentedLayout) {
    const auto& d = DefaultImage();
    EXPECT_EQ(Text(d.data(), 20), "QV4820 DEFAULT IMAGE");
    for (std::size_t i = 20; i < 0x20; ++i) EXPECT_EQ(d[i], 0x00);
    EXPECT_EQ(d[0x20], 0x01);
    EXPECT_EQ(d[0x21], 0x00);
    EXPECT_EQ(d[0x22] | d[0x23] << 8, 0x0100);
    EXPECT_EQ(d[0x24] | d[0x25] << 8, 0x8000);
    for (std::size_t i = 0x26; i < 0x100; ++i) EXPECT_EQ(d[i], 0xFF);

    const std::uint8_t* t = d.data() + 0x100;
    EXPECT_EQ(Text(t, 13), "QVUSB_Table01");
    EXPECT_EQ(t[kTableVidOffset] | t[kTableVidOffset + 1] << 8, 0xA7D6);
    EXPECT_EQ(t[kTablePidOffset] | t[kTablePidOffset + 1] << 8, 0x6012);
    const char* strings[] = {"Quorvex-inc", "Quorvex-inc UAC22", "QVUA170405",
                             "Primary Play Interface", "Record Interface"};
    for (std::size_t s = 0; s < 5; ++s) {
        const std::uint8_t* slot = t + kTableStringsOffset + s * kTableStringSlot;
        EXPECT_EQ(Text(slot + 1, slot[0]), strings[s]);
        for (std::size_t i = 1 + slot[0]; i < kTableStringSlot; ++i) EXPECT_EQ(slot[i], 0);
    }
    for (std::size_t i = 0x100 + kTableSize; i < 0x200; ++i) EXPECT_EQ(d[i], 0xFF);
    for (std::size_t i = 0x200; i < d.size(); ++i)
        ASSERT_EQ(d[i], static_cast<std::uint8_t>((i & 0xFF) ^ (i >> 8))) << i;
}

TEST(DefaultImage, Deterministic) {
    // The same bytes as the rule above, on every call and every build: a fixed checksum.
    std::uint32_t sum = 0;
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t b : DefaultImage()) {
        sum += b;
        hash = (hash ^ b) * 16777619u;
    }
    ModifyImage a;
    ModifyImage b;
    CopyDefaultImage(a);
    CopyDefaultImage(b);
    EXPECT_TRUE(a.data == b.data);
    EXPECT_EQ(std::memcmp(a.data.data(), DefaultImage().data(), 32768), 0);
    // Recorded once; a change of the default image must be deliberate.
    EXPECT_EQ(sum & 0xFFFF, 0x00E1u);
    EXPECT_EQ(hash, 0x3EC7FA68u);  // FNV-1a of all 32768 bytes
}

TEST(DefaultImage, MarkerOnlyAt0x100) {
    ModifyImage m;
    CopyDefaultImage(m);
    m.length = 32768;
    EXPECT_EQ(FindUserParameterTable(m), std::optional<std::uint32_t>(0x100));
    // No other occurrence: with the marker at 0x100 erased, the scan finds nothing.
    std::memset(m.data.data() + 0x100, 0xFF, 13);
    EXPECT_FALSE(FindUserParameterTable(m).has_value());
    const auto& d = DefaultImage();
    for (std::size_t i = 0; i + 4 <= d.size(); ++i) {
        if (i == 0x100) continue;
        ASSERT_NE(Text(d.data() + i, 4), "QVUS") << i;
    }
}

TEST(DefaultImage, CopyLeavesLengthAndTheRestUnchanged) {
    FirmwareImage f;
    f.data.assign(kImageCapacity, 0xFF);
    for (std::size_t i = 0; i < 40000; ++i) f.data[i] = static_cast<std::uint8_t>(i * 13);
    f.length = 40000;
    CopyDefaultImage(f);
    EXPECT_EQ(f.length, 40000u);
    EXPECT_EQ(std::memcmp(f.data.data(), DefaultImage().data(), 32768), 0);
    for (std::size_t i = 32768; i < 40000; ++i)
        ASSERT_EQ(f.data[i], static_cast<std::uint8_t>(i * 13)) << i;
    EXPECT_EQ(f.data[40000], 0xFF);

    ModifyImage empty;
    CopyDefaultImage(empty);
    EXPECT_EQ(empty.length, 0u);
    EXPECT_FALSE(FindUserParameterTable(empty).has_value());  // length 0 scans nothing
}

}  // namespace
}  // namespace qv

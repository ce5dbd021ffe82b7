// Differential tests: well-formed Intel HEX files generated here are loaded by LoadHexImage and
// converted by `objcopy -I ihex -O binary --gap-fill 0xff` and by
// `srec_cat -disable-sequence-warnings FILE -intel -fill 0xFF <min> <max> -o OUT -binary`; the
// three must agree byte for byte (objcopy's output starts at the lowest address, srec_cat's at
// address 0).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "image/ImageLoaders.h"

namespace qv {
namespace {

using test::LoadHexImage;

enum class Addressing { kNone, kLinear, kSegment, kMixed };

struct FileShape {
    std::uint32_t seed;
    std::uint32_t span;  // data lies in [0, span)
    Addressing addressing;
    bool crlf;
    bool shuffle;
    std::size_t maxRecord;  // data bytes per record, at most
};

// Test lists name a case by its seed alone.
void PrintTo(const FileShape& shape, std::ostream* out) {
    *out << "seed" << shape.seed;
}

struct Generated {
    std::string text;
    std::vector<std::uint8_t> image;  // span bytes, 0xFF where nothing is written
    std::uint32_t min = 0;
    std::uint32_t max = 0;
};

struct Rec {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
};

Generated Generate(const FileShape& s) {
    std::mt19937 rng(s.seed);
    auto below = [&](std::uint32_t n) {
        return n == 0 ? 0u : static_cast<std::uint32_t>(rng() % n);
    };
    Generated g;
    g.image.assign(s.span, 0xFF);

    // Non-overlapping blocks with gaps between them, cut into records that never cross a
    // 64 KiB boundary (so that every record is expressible with an upper address).
    std::vector<Rec> recs;
    std::uint32_t a = below(s.span / 16 + 1);
    while (a < s.span) {
        const std::uint32_t blockLength = 1 + below(std::max<std::uint32_t>(s.span / 6, 1));
        const std::uint32_t blockEnd = std::min(s.span, a + blockLength);
        while (a < blockEnd) {
            std::uint32_t n = 1 + below(static_cast<std::uint32_t>(s.maxRecord));
            if (rng() % 4 != 0) n = static_cast<std::uint32_t>(s.maxRecord);  // mostly full
            n = std::min({n, blockEnd - a, 0x10000 - (a & 0xFFFF)});
            Rec r{a, {}};
            for (std::uint32_t i = 0; i < n; ++i) {
                const auto v = static_cast<std::uint8_t>(rng() >> 24);
                r.bytes.push_back(v);
                g.image[a + i] = v;
            }
            recs.push_back(std::move(r));
            a += n;
        }
        a += 1 + below(std::max<std::uint32_t>(s.span / 10, 1));  // the gap
    }
    if (s.shuffle) std::shuffle(recs.begin(), recs.end(), rng);

    g.min = s.span;
    for (const auto& r : recs) {
        g.min = std::min(g.min, r.address);
        g.max = std::max(g.max, r.address + static_cast<std::uint32_t>(r.bytes.size()));
    }

    const std::string eol = s.crlf ? "\r\n" : "\n";
    std::int64_t upper = -1;  // the base the reader currently has
    int lastKind = 0;         // 2 or 4: the kind of the last extended address record
    if (s.addressing == Addressing::kNone) upper = 0;
    for (const auto& r : recs) {
        std::uint32_t base = r.address & ~0xFFFFu;
        bool segment = s.addressing == Addressing::kSegment ||
                       (s.addressing == Addressing::kMixed && rng() % 2 == 0);
        // objcopy adds the last segment base and the last linear base, where the others
        // (and LoadHexImage) use whichever came last; on a switch of kind the other kind is
        // first reset to 0 so that all readers agree.
        if (segment && lastKind == 4) {
            g.text += test::Linear(0) + eol;
            upper = 0;
        } else if (!segment && lastKind == 2) {
            g.text += test::Segment(0) + eol;
            upper = 0;
        }
        if (segment) {
            // Any segment whose window covers the record; sometimes the current one.
            std::uint32_t seg = r.address >> 4;
            if (rng() % 2 == 0) seg = (r.address & ~0xFFFFu) >> 4;
            if (seg > 0xFFFF) seg = 0xFFFF;
            base = seg << 4;
            if (upper != static_cast<std::int64_t>(base) || lastKind != 2) {
                g.text += test::Segment(static_cast<std::uint16_t>(seg)) + eol;
                upper = base;
                lastKind = 2;
            }
        } else if (upper < 0 || (r.address - static_cast<std::uint32_t>(upper)) > 0xFFFF ||
                   r.address < upper || (upper & 0xFFFF) != 0 ||
                   r.address - upper + r.bytes.size() > 0x10000) {
            g.text += test::Linear(static_cast<std::uint16_t>(base >> 16)) + eol;
            upper = base;
            lastKind = 4;
        }
        const std::uint32_t offset = r.address - static_cast<std::uint32_t>(upper);
        EXPECT_LE(offset + r.bytes.size(), 0x10000u);
        g.text += test::Data(static_cast<std::uint16_t>(offset), r.bytes) + eol;
    }
    if (s.seed % 3 == 0) g.text += test::Record(0x05, 0, {0x00, 0x00, 0x01, 0x00}) + eol;
    g.text += test::Eof() + eol;
    return g;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

class Differential : public ::testing::TestWithParam<FileShape> {};

TEST_P(Differential, SameBytesAsObjcopyAndSrecCat) {
    const FileShape& s = GetParam();
    const std::string objcopy = QV_OBJCOPY;
    const std::string srecCat = QV_SREC_CAT;
    if (objcopy.empty() || srecCat.empty()) GTEST_SKIP() << "objcopy or srec_cat not found";

    test::TempDir dir;
    const Generated g = Generate(s);
    ASSERT_GT(g.max, g.min);
    const std::string hex = dir.Write("gen.hex", g.text);

    FirmwareImage image;
    const LoadResult r = LoadHexImage(image, hex);
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, g.max);
    EXPECT_TRUE(std::equal(g.image.begin(), g.image.begin() + g.max, image.data.begin()));
    EXPECT_TRUE(std::all_of(image.data.begin() + g.max, image.data.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(r->checksum, test::Sum16(image.data, 0, image.length));

    // objcopy: bytes min .. max-1.
    const std::string outObjcopy = dir.File("objcopy.bin");
    ASSERT_EQ(std::system((Quote(objcopy) + " -I ihex -O binary --gap-fill 0xff " + Quote(hex) +
                           " " + Quote(outObjcopy))
                              .c_str()),
              0);
    const auto o = test::ReadBytes(outObjcopy);
    ASSERT_EQ(o.size(), g.max - g.min);
    EXPECT_TRUE(std::equal(o.begin(), o.end(), image.data.begin() + g.min)) << "objcopy differs";

    // srec_cat: the binary is laid out from address 0; compare min .. max-1.
    const std::string outSrec = dir.File("srec.bin");
    ASSERT_EQ(std::system((Quote(srecCat) + " -disable-sequence-warnings " + Quote(hex) +
                           " -intel -fill 0xFF " + std::to_string(g.min) + " " +
                           std::to_string(g.max) + " -o " + Quote(outSrec) + " -binary")
                              .c_str()),
              0);
    const auto sc = test::ReadBytes(outSrec);
    ASSERT_EQ(sc.size(), g.max);
    EXPECT_TRUE(std::equal(sc.begin() + g.min, sc.end(), image.data.begin() + g.min))
        << "srec_cat differs";
}

std::vector<FileShape> FileShapes() {
    std::vector<FileShape> v;
    std::uint32_t seed = 1;
    // Small files below 64 KiB without any extended record.
    for (int i = 0; i < 4; ++i)
        v.push_back({seed++, 0x4000u + 0x3000u * i, Addressing::kNone, i % 2 == 0, i >= 2, 16});
    // Above 64 KiB with 04 records, in order and shuffled, LF and CR LF, various record sizes.
    for (std::size_t rec : {16u, 32u, 255u})
        for (int i = 0; i < 2; ++i)
            v.push_back(
                {seed++, 0x30000u + 0x11111u * i, Addressing::kLinear, i == 1, i == 0, rec});
    // 02 records (1 MiB reach) and a mix of both kinds.
    for (int i = 0; i < 3; ++i)
        v.push_back({seed++, 0x28000u + 0x20000u * i, Addressing::kSegment, i != 1, i != 0, 32});
    for (int i = 0; i < 3; ++i)
        v.push_back({seed++, 0x50000u + 0x30000u * i, Addressing::kMixed, i == 0, true, 64});
    // Up to the full 4 MiB.
    v.push_back({seed++, kImageCapacity, Addressing::kLinear, false, false, 32});
    v.push_back({seed++, kImageCapacity, Addressing::kLinear, true, true, 255});
    return v;
}

INSTANTIATE_TEST_SUITE_P(Generated, Differential, ::testing::ValuesIn(FileShapes()),
                         [](const auto& info) { return "seed" + std::to_string(info.param.seed); });

}  // namespace
}  // namespace qv

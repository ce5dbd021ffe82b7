#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "image/DefaultImage.h"
#include "image/ImageLoaders.h"

namespace qv {
namespace {

using test::LoadBinImage;
using test::LoadHexImage;
using test::LoadImageByName;

using test::Bytes;
using test::Data;
using test::Eof;
using test::Linear;
using test::Lines;
using test::Record;
using test::Segment;
using test::TempDir;

class Loaders : public ::testing::Test {
  protected:
    TempDir dir;
    FirmwareImage image;

    LoadResult Hex(const std::string& text, const std::string& name = "t.hex") {
        return LoadHexImage(image, dir.Write(name, text));
    }
    // Bytes past the buffer's end read 0xFF by definition.
    void ExpectErased(std::size_t from, std::size_t to) {
        to = std::min(to, image.data.size());
        from = std::min(from, to);
        const auto first = image.data.begin() + static_cast<std::ptrdiff_t>(from);
        const auto last = image.data.begin() + static_cast<std::ptrdiff_t>(to);
        const auto it = std::find_if(first, last, [](std::uint8_t b) { return b != 0xFF; });
        EXPECT_TRUE(it == last) << "byte at " << (it - image.data.begin()) << " is not 0xFF";
    }
    std::uint16_t Sum(std::size_t to) const { return test::Sum16(image.data, 0, to); }
};

// --- Intel HEX: what loads -------------------------------------------------------------------

TEST_F(Loaders, HexSingleRecordAtZero) {
    const auto d = Bytes(16, 0x10);
    const auto r = Hex(Lines({Data(0, d), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 16u);
    EXPECT_TRUE(std::equal(d.begin(), d.end(), image.data.begin()));
    EXPECT_EQ(r->checksum, test::Sum16(d, 0, d.size()));
    EXPECT_EQ(image.data.size(), 16u);  // the image holds what the file wrote, no more
}

TEST_F(Loaders, HexStartingAt0x0100LeavesTheStartErasedAndCountsIt) {
    const auto d = Bytes(32, 0x01);
    const auto r = Hex(Lines({Data(0x0100, d), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x0100u + 32);
    ExpectErased(0, 0x100);
    EXPECT_EQ(image.data[0x100], 0x01);
    // The 256 bytes of 0xFF fill count in the checksum.
    EXPECT_EQ(r->checksum, static_cast<std::uint16_t>(256 * 0xFF + test::Sum16(d, 0, 32)));
    EXPECT_EQ(r->checksum, Sum(image.length));
}

TEST_F(Loaders, HexGapsReadErasedAndCountInTheChecksum) {
    const auto r =
        Hex(Lines({Data(0x0000, {1, 2, 3, 4}), Data(0x0040, {5, 6}), Data(0x0010, {7}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x42u);
    ExpectErased(4, 0x10);
    ExpectErased(0x11, 0x40);
    EXPECT_EQ(image.data[0x10], 7);
    EXPECT_EQ(image.data[0x41], 6);
    EXPECT_EQ(r->checksum, Sum(0x42));
    EXPECT_EQ(r->checksum, static_cast<std::uint16_t>(1 + 2 + 3 + 4 + 5 + 6 + 7 + 59 * 0xFF));
}

TEST_F(Loaders, HexRecordAt0xFFF8Crosses64K) {
    const auto d = Bytes(16, 0xA0);
    const auto r = Hex(Lines({Data(0xFFF8, d), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x10008u);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(image.data[0xFFF8 + i], d[i]);
    EXPECT_EQ(r->checksum, Sum(0x10008));
}

TEST_F(Loaders, HexLinearRecordZeroFirstGivesTheDataAsIs) {
    // An 04 record with 00 00 followed by data from 0: the image equals the data.
    const auto d = Bytes(16, 0x55, 3);
    const auto r = Hex(Lines({Linear(0), Data(0, d), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 16u);
    EXPECT_TRUE(std::equal(d.begin(), d.end(), image.data.begin()));
}

TEST_F(Loaders, HexExtendedLinearAddress) {
    const auto r = Hex(Lines({Data(0x0000, {0x11}), Linear(0x0003), Data(0x1234, {0xAB, 0xCD}),
                              Linear(0x0000), Data(0x0001, {0x22}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x31236u);
    EXPECT_EQ(image.data[0], 0x11);
    EXPECT_EQ(image.data[1], 0x22);
    EXPECT_EQ(image.data[0x31234], 0xAB);
    EXPECT_EQ(image.data[0x31235], 0xCD);
    ExpectErased(2, 0x31234);
    EXPECT_EQ(r->checksum, Sum(image.length));
}

TEST_F(Loaders, HexExtendedSegmentAddress) {
    // 02 record: base = value * 16.
    const auto r = Hex(Lines({Segment(0x1234), Data(0x0010, {0x01, 0x02}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x12340u + 0x10 + 2);
    EXPECT_EQ(image.data[0x12350], 0x01);
    EXPECT_EQ(image.data[0x12351], 0x02);
    ExpectErased(0, 0x12350);
}

TEST_F(Loaders, HexSegmentThenLinearReplacesTheUpperAddress) {
    const auto r = Hex(Lines({Segment(0x1000), Linear(0x0002), Data(0, {9}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x20001u);
    EXPECT_EQ(image.data[0x20000], 9);
}

TEST_F(Loaders, HexStartAddressRecordsChangeNothing) {
    const auto r = Hex(Lines({Record(0x03, 0, {0x12, 0x34, 0x56, 0x78}), Data(0x10, {1}),
                              Record(0x05, 0, {0x00, 0x00, 0x01, 0x00}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x11u);
    ExpectErased(0, 0x10);
    EXPECT_EQ(image.data[0x10], 1);
}

// Every cut of a file at a line boundary short of its end record is refused, however far the
// copy got; the whole file loads.
TEST_F(Loaders, HexCutAtAnyLineBoundaryIsRefused) {
    std::vector<std::string> lines{Linear(0)};
    for (std::uint32_t a = 0; a < 0x18000; a += 0x400) {
        if (a % 0x10000 == 0) lines.push_back(Linear(static_cast<std::uint16_t>(a >> 16)));
        lines.push_back(
            Data(static_cast<std::uint16_t>(a), Bytes(32, static_cast<std::uint8_t>(a >> 10))));
    }
    lines.push_back(Record(0x05, 0, {0, 0, 0, 0}));
    lines.push_back(Eof());
    const std::ifstream demoFile(QV_DEMO_FIRMWARE_PATH, std::ios::binary);
    std::ostringstream demo;
    demo << demoFile.rdbuf();
    for (const std::string& text : {Lines(lines), Lines(lines, "\r\n"), demo.str()}) {
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        ASSERT_TRUE(LoadHexFromMemory(image, bytes, "whole.hex").ok());
        const std::size_t endRecord = text.rfind(':');
        std::size_t cuts = 0;
        for (std::size_t end = text.find('\n'); end < endRecord; end = text.find('\n', end + 1)) {
            FirmwareImage cut;
            const auto r = LoadHexFromMemory(cut, bytes.first(end + 1), "cut.hex");
            ASSERT_FALSE(r.ok()) << "cut after byte " << end;
            EXPECT_TRUE(r.text().ends_with("ends without its end record: incomplete copy?") ||
                        r.text().ends_with("holds no data"))
                << r.text();
            ++cuts;
        }
        EXPECT_GT(cuts, 10u);
    }
}

// Records that give one byte two values are refused with both lines; the same bytes twice
// pass.
TEST_F(Loaders, HexIdenticalOverlapsLoad) {
    const auto r = Hex(Lines({Data(0, {1, 2, 3}), Data(0, {1, 2, 3}), Data(2, {3, 4}),
                              Segment(0x1000), Data(0x0000, {5}), Linear(1), Data(0, {5}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x10001u);
    EXPECT_EQ(image.data[3], 4);
    EXPECT_EQ(image.data[0x10000], 5);
}

TEST_F(Loaders, HexBlankLinesAndATrailingCtrlZAreAllowed) {
    const std::string body =
        "\r\n" + Data(0, {1, 2}) + "\r\n\r\n" + "   \r\n" + "\t \n" + Data(2, {3}) + "\r\n" + Eof();
    for (const std::string tail :
         {"\r\n", "", "\x1a", "\r\n\x1a", "\r\n\x1a\r\n", "\n\x1a\x1a  \n"}) {
        const auto r = Hex(body + tail);
        ASSERT_TRUE(r.ok()) << r.text();
        EXPECT_EQ(image.length, 3u);
        EXPECT_EQ(image.data[2], 3);
    }
}

TEST_F(Loaders, MemoryAndFileGiveTheSameResult) {
    const std::vector<std::string> texts{
        Lines({Linear(0x0001), Data(0x10, {1, 2, 3}), Eof()}),
        Lines({Data(0, {1, 2, 3, 4}), "0400100001020304E2", Eof()}),
        "",
        "\x1a",
    };
    for (const std::string& text : texts) {
        const auto fromFile = Hex(text, "same.hex");
        const auto fileData = image.data;
        const auto fileLength = image.length;
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        FirmwareImage other;
        const auto fromMemory = LoadHexFromMemory(other, bytes, "same.hex");
        EXPECT_EQ(fromMemory.text(), fromFile.text()) << text;
        ASSERT_EQ(fromMemory.ok(), fromFile.ok()) << text;
        if (fromFile.ok()) {
            EXPECT_EQ(fromMemory->checksum, fromFile->checksum) << text;
            EXPECT_EQ(other.length, fileLength);
            EXPECT_TRUE(other.data == fileData);
        }
        const auto binFile = LoadBinImage(image, dir.Write("same.bin", text));
        const auto binMemory = LoadBinFromMemory(other, bytes, "same.bin");
        EXPECT_EQ(binMemory.text(), binFile.text()) << text;
        ASSERT_EQ(binMemory.ok(), binFile.ok()) << text;
        if (binFile.ok()) {
            EXPECT_EQ(binMemory->checksum, binFile->checksum) << text;
        }
    }
}

TEST_F(Loaders, HexLowerCaseDigitsLoad) {
    std::string rec = Data(0, {0xAB, 0xCD});
    for (auto& c : rec) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto r = Hex(Lines({rec, Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.data[0], 0xAB);
    EXPECT_EQ(image.data[1], 0xCD);
}

TEST_F(Loaders, HexLengthIsOnePastTheHighestByteWritten) {
    // A zero-length data record writes nothing and does not move the length.
    const auto r = Hex(Lines({Data(0x10, {1}), Data(0x8000, {}), Data(0x04, {2}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x11u);
}

TEST_F(Loaders, HexRecordOf255BytesAndDataUpToTheLastByte) {
    const auto d = Bytes(255, 0);
    const auto r = Hex(Lines({Linear(0x003F), Data(0xFF00, d), Data(0xFFFF, {0x77}), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, kImageCapacity);
    EXPECT_EQ(image.data[kImageCapacity - 1], 0x77);
    EXPECT_EQ(image.data[0x3FFF00 + 254], 254);
}

TEST_F(Loaders, HexChecksumExampleWholeImage) {
    // Two 0x80-byte records of 0x01 at 0 and 0x100: 256 * 1 + 128 * 0xFF.
    const std::vector<std::uint8_t> ones(0x80, 0x01);
    const auto r = Hex(Lines({Data(0, ones), Data(0x100, ones), Eof()}));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 0x180u);
    EXPECT_EQ(r->checksum, static_cast<std::uint16_t>(256 + 128 * 0xFF));
}

TEST_F(Loaders, HexReadsThatSplitRecordsGiveTheSameImage) {
    std::vector<std::string> lines{Linear(0)};
    for (std::uint16_t a = 0; a < 0x2000; a += 24)
        lines.push_back(Data(a, Bytes(24, static_cast<std::uint8_t>(a >> 3), 7)));
    lines.push_back(Eof());
    const std::string text = Lines(lines, "\r\n");
    const auto expected = Hex(text);
    ASSERT_TRUE(expected.ok()) << expected.text();
    const auto expectedData = image.data;
    const auto expectedLength = image.length;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    const std::string bad = text + "\r\n:00000001FE\r\n";
    const std::span<const std::uint8_t> badBytes(reinterpret_cast<const std::uint8_t*>(bad.data()),
                                                 bad.size());
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 44u, 45u, 46u, 600u, 1023u, 4096u}) {
        FirmwareImage other;
        const auto r = LoadHexFromMemory(other, bytes, "t.hex", chunk);
        ASSERT_TRUE(r.ok()) << "chunk " << chunk << ": " << r.text();
        EXPECT_EQ(r->checksum, expected->checksum) << "chunk " << chunk;
        EXPECT_EQ(other.length, expectedLength) << "chunk " << chunk;
        EXPECT_TRUE(other.data == expectedData) << "chunk " << chunk;
        // And a refusal far into the file still names its line.
        const auto refused = LoadHexFromMemory(other, badBytes, "bad.hex", chunk);
        EXPECT_TRUE(
            refused.text().starts_with("bad.hex line " + std::to_string(lines.size() + 2) + ":"))
            << "chunk " << chunk << ": " << refused.text();
    }
}

// --- Intel HEX: refusals with their line -------------------------------------------------------

struct Refusal {
    std::string name;
    std::string text;
    std::size_t line;
    std::string reason;
};

// Test lists name a case by its name alone.
void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class HexRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(HexRefusals, RefusedWithLineAndReason) {
    const Refusal& c = GetParam();
    TempDir dir;
    FirmwareImage image;
    const auto path = dir.Write("Tesmora_K2DAC_v11.hex", c.text);
    const auto r = LoadHexImage(image, path);
    EXPECT_FALSE(r.ok());
    const std::string where = c.line ? "Tesmora_K2DAC_v11.hex line " + std::to_string(c.line) + ": "
                                     : std::string("Tesmora_K2DAC_v11.hex: ");
    EXPECT_EQ(r.text(), where + c.reason);
    EXPECT_EQ(image.length, 0u);
}

const std::string kGood = Data(0, {1, 2, 3, 4});

INSTANTIATE_TEST_SUITE_P(
    Loaders, HexRefusals,
    ::testing::Values(
        Refusal{"NonHexCharacter", Lines({kGood, ":0400100001G2030400", Eof()}), 2,
                "record holds a character that is not a hexadecimal digit"},
        Refusal{"TrailingBlank", Lines({kGood + " ", Eof()}), 1,
                "record holds a character that is not a hexadecimal digit"},
        Refusal{"TextAfterRecord", Lines({kGood, Eof() + "junk"}), 2,
                "record holds a character that is not a hexadecimal digit"},
        Refusal{"OddDigits", Lines({kGood, kGood + "0"}), 2,
                "record has an odd number of hexadecimal digits"},
        Refusal{"TooShort", Lines({kGood, ":00000001", Eof()}), 2, "record is too short"},
        Refusal{"ColonAlone", Lines({kGood, "", ":", Eof()}), 3, "record is too short"},
        Refusal{"CountTooLarge", Lines({":050000000102030400", Eof()}), 1,
                "byte count does not agree with the record length"},
        Refusal{"CountTooSmall", Lines({kGood, ":0300000001020304F2"}), 2,
                "byte count does not agree with the record length"},
        Refusal{"FarTooLong", Lines({":FF000000" + std::string(600, '0')}), 1,
                "byte count does not agree with the record length"},
        Refusal{"RecordChecksum", Lines({kGood, kGood, ":04000000010203040F", Eof()}), 3,
                "record checksum is wrong"},
        Refusal{"UnknownType", Lines({kGood, Record(0x06, 0, {}), Eof()}), 2,
                "record type 06 is not one of 00 to 05"},
        Refusal{"EofWithData", Lines({kGood, Record(0x01, 0, {0x00})}), 2,
                "end-of-file record holds data"},
        Refusal{"LinearTooShort", Lines({Record(0x04, 0, {0x01}), kGood}), 1,
                "extended address record must hold 2 data bytes"},
        Refusal{"SegmentTooLong", Lines({kGood, Record(0x02, 0, {0, 1, 2}), kGood}), 2,
                "extended address record must hold 2 data bytes"},
        Refusal{"StartAddressShort", Lines({kGood, Record(0x05, 0, {0, 1, 2})}), 2,
                "start address record must hold 4 data bytes"},
        Refusal{"StartSegmentShort", Lines({kGood, Record(0x03, 0, {})}), 2,
                "start address record must hold 4 data bytes"},
        Refusal{"DataAt4MiB", Lines({kGood, Linear(0x0040), Data(0, {1}), Eof()}), 3,
                "data beyond 4 MiB"},
        Refusal{"DataCrossing4MiB", Lines({kGood, Linear(0x003F), Data(0xFFF8, Bytes(9, 0))}), 3,
                "data beyond 4 MiB"},
        Refusal{"HighLinearBase", Lines({Linear(0x0800), Data(0, {1})}), 2, "data beyond 4 MiB"},
        Refusal{"LineNumbersCountCrLf", "\r\n" + kGood + "\r\n\r\n:0400\r\n", 4,
                "record is too short"},
        Refusal{"LineNumbersCountLoneCr", kGood + "\r\r:0400\r", 3, "record is too short"},
        Refusal{"OnlyEof", Lines({Eof()}), 0, "holds no data"},
        Refusal{"OnlyZeroLengthData", Lines({Data(0x10, {}), Linear(1), Eof()}), 0,
                "holds no data"},
        Refusal{"Empty", "", 0, "holds no data"},
        Refusal{"NoRecords", "just text\nno colon here\n", 1, "line does not start with ':'"},
        Refusal{"RecordThatLostItsColon", Lines({kGood, "0400100001020304E2", Eof()}), 2,
                "line does not start with ':'"},
        Refusal{"CommentLine", "\r\n" + kGood + "\r\n; built 2024\r\n" + Eof(), 3,
                "line does not start with ':'"},
        Refusal{"BlankBeforeColon", Lines({kGood, " " + kGood}), 2, "line does not start with ':'"},
        Refusal{"TextAfterCtrlZ", Lines({kGood, "\x1a", kGood}), 3,
                "text follows the end-of-file mark Ctrl-Z"},
        Refusal{"CtrlZInsideARecord",
                Lines({":04000000\x1a"
                       "01020304F2"}),
                1, "record is too short"},
        Refusal{"NoEndRecord", Lines({kGood, Data(4, {5})}), 2,
                "ends without its end record: incomplete copy?"},
        Refusal{"NoEndRecordNorLineEnd", kGood, 1, "ends without its end record: incomplete copy?"},
        Refusal{"NoEndRecordThenBlankLines", Lines({kGood, "", "  "}), 1,
                "ends without its end record: incomplete copy?"},
        Refusal{"DataAfterEnd", Lines({kGood, Eof(), Data(0x20, {3}), Eof()}), 3,
                "record after the end-of-file record of line 2"},
        Refusal{"SecondEndRecord", Lines({kGood, Eof(), "", Eof()}), 4,
                "record after the end-of-file record of line 2"},
        Refusal{"OverlapWithOtherData", Lines({kGood, Data(8, {0}), Data(1, {9}), Eof()}), 3,
                "gives address 0x000001 other data than line 1"},
        Refusal{"OverlapNamesTheLastWriter",
                Lines({kGood, Data(0, {1, 2}), Data(0, {1, 7}), Eof()}), 3,
                "gives address 0x000001 other data than line 2"},
        Refusal{"OverlapOutOfOrder", Lines({Data(0x20, {1}), Data(0x10, Bytes(32, 0x40)), Eof()}),
                2, "gives address 0x000020 other data than line 1"},
        Refusal{"OverlapThroughAnotherBase",
                Lines({Linear(1), Data(0x10, {1}), Segment(0x1000), Data(0x10, {2}), Eof()}), 4,
                "gives address 0x010010 other data than line 2"},
        Refusal{"BinaryJunk", std::string("\x00\x01:\x02\xff", 5), 1,
                "line does not start with ':'"}),
    [](const auto& info) { return info.param.name; });

// --- Binary ------------------------------------------------------------------------------------

TEST_F(Loaders, BinChecksumExample1024BytesOfFF) {
    const auto r = LoadBinImage(image, dir.Write("ff.bin", std::vector<std::uint8_t>(1024, 0xFF)));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(r->checksum, 0xFC00);
    EXPECT_EQ(image.length, 1024u);
}

TEST_F(Loaders, BinBytesAndTheRestErased) {
    const auto d = Bytes(1000, 3, 5);
    const auto r = LoadBinImage(image, dir.Write("a.bin", d));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, 1000u);
    EXPECT_TRUE(std::equal(d.begin(), d.end(), image.data.begin()));
    ExpectErased(1000, kImageCapacity);
    EXPECT_EQ(r->checksum, test::Sum16(d, 0, d.size()));
}

TEST_F(Loaders, BinOfExactly4MiBLoads) {
    std::vector<std::uint8_t> d(kImageCapacity);
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
    const auto r = LoadBinImage(image, dir.Write("full.bin", d));
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(image.length, kImageCapacity);
    EXPECT_TRUE(image.data == d);
    EXPECT_EQ(r->checksum, test::Sum16(d, 0, d.size()));
}

TEST_F(Loaders, BinLongerThan4MiBIsRefusedNotCut) {
    const auto r = LoadBinImage(image, dir.Write("big.bin", std::string(5u << 20, '\x11')));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.text(), "big.bin: is longer than 4 MiB");
    EXPECT_EQ(image.length, 0u);
    ExpectErased(0, kImageCapacity);
    const auto r2 =
        LoadBinImage(image, dir.Write("big1.bin", std::string(kImageCapacity + 1, 'x')));
    EXPECT_FALSE(r2.ok());
}

TEST_F(Loaders, BinEmptyIsRefused) {
    const auto r = LoadBinImage(image, dir.Write("empty.bin", std::string()));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.text(), "empty.bin: holds no data");
}

// --- Files that cannot be opened; all or nothing -----------------------------------------------

TEST_F(Loaders, UnopenableFileIsRefused) {
    const auto missing = dir.File("missing.hex");
    const auto r = LoadHexImage(image, missing);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.text(), "missing.hex: cannot be opened");
    const auto rb = LoadBinImage(image, dir.File("sub/missing.bin"));
    EXPECT_FALSE(rb.ok());
    EXPECT_EQ(rb.text(), "missing.bin: cannot be opened");
}

TEST_F(Loaders, DirectoryIsRefused) {
    EXPECT_FALSE(LoadHexImage(image, dir.Path().string()).ok());
    EXPECT_FALSE(LoadBinImage(image, dir.Path().string()).ok());
    EXPECT_EQ(image.length, 0u);
}

TEST_F(Loaders, RefusedOrUnopenableFileLeavesThePreviousImageIntact) {
    const auto good = Hex(Lines({Data(0x10, Bytes(40, 1)), Eof()}), "good.hex");
    ASSERT_TRUE(good.ok()) << good.text();
    CopyDefaultImage(image);  // something in the first bytes too
    const auto before = image.data;
    const auto length = image.length;

    const std::vector<std::string> refusedHex{
        Lines({Data(0, {9, 9, 9}), ":0400000001020304FF"}),   // bad record after good data
        Lines({Data(0, {9}), Linear(0x0040), Data(0, {1})}),  // beyond 4 MiB
        Lines({Eof()}),                                       // no data
    };
    for (const auto& text : refusedHex) {
        EXPECT_FALSE(Hex(text, "bad.hex").ok());
        EXPECT_EQ(image.length, length);
        EXPECT_TRUE(image.data == before);
    }
    EXPECT_FALSE(LoadHexImage(image, dir.File("nope.hex")).ok());
    EXPECT_FALSE(LoadBinImage(image, dir.File("nope.bin")).ok());
    EXPECT_FALSE(LoadBinImage(image, dir.Write("e.bin", std::string())).ok());
    EXPECT_FALSE(
        LoadBinImage(image, dir.Write("b.bin", std::string(kImageCapacity + 5, 'a'))).ok());
    EXPECT_FALSE(LoadImageByName(image, dir.Write("x.img", std::string("abc"))).ok());
    EXPECT_EQ(image.length, length);
    EXPECT_TRUE(image.data == before);

    // And a good load after all that replaces the image completely.
    const auto next = LoadBinImage(image, dir.Write("n.bin", std::string(3, '\x01')));
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(image.length, 3u);
    ExpectErased(3, kImageCapacity);
}

TEST_F(Loaders, SuccessiveLoadsDoNotLeakOldBytes) {
    ASSERT_TRUE(Hex(Lines({Data(0x1000, Bytes(200, 0)), Eof()}), "a.hex").ok());
    ASSERT_TRUE(Hex(Lines({Data(0, {1}), Eof()}), "b.hex").ok());
    EXPECT_EQ(image.length, 1u);
    ExpectErased(1, kImageCapacity);
    ModifyImage second;
    ASSERT_TRUE(LoadBinImage(second, dir.Write("c.bin", std::string(10, '\x02'))).ok());
    ASSERT_TRUE(Hex(Lines({Data(4, {5}), Eof()}), "d.hex").ok());
    EXPECT_EQ(image.length, 5u);
    ExpectErased(0, 4);
    ExpectErased(5, kImageCapacity);
    EXPECT_EQ(second.length, 10u);
    EXPECT_EQ(second.data[9], 2);
    EXPECT_EQ(second.data.size(), 10u);
}

TEST_F(Loaders, BytesWrittenPastTheLoadedLengthNeverReachALaterImage) {
    // Each buffer comes back as scratch two loads later; the default image written past the
    // loaded length must be erased then, and so must a longer earlier image.
    ModifyImage other;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Hex(Lines({Data(0, {1}), Eof()}), "a.hex").ok());
        EXPECT_EQ(image.erasedFrom, 1u);
        CopyDefaultImage(image);
        EXPECT_EQ(image.erasedFrom, kDefaultImageSize);
        ASSERT_TRUE(LoadBinImage(other, dir.Write("o.bin", std::string(3000, '\x07'))).ok());
        ASSERT_TRUE(Hex(Lines({Data(2, {2}), Eof()}), "b.hex").ok());
        ExpectErased(0, 2);
        ExpectErased(3, kImageCapacity);
        ASSERT_TRUE(LoadBinImage(other, dir.Write("p.bin", std::string(1, '\x05'))).ok());
        EXPECT_TRUE(std::all_of(other.data.begin() + 1, other.data.end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST_F(Loaders, RefusedLoadsLeaveNoBytesForTheNextLoad) {
    // A refused HEX that wrote high up, then a small good one: all erased past its length.
    EXPECT_FALSE(
        Hex(Lines({Linear(0x0030), Data(0x1000, Bytes(64, 0)), Data(0, {1}), ":00000001FE"}),
            "r1.hex")
            .ok());
    ASSERT_TRUE(Hex(Lines({Data(0, {7}), Eof()}), "g1.hex").ok());
    EXPECT_EQ(image.length, 1u);
    ExpectErased(1, kImageCapacity);
    // Twice in a row, so that the second good load reuses the first refused load's buffer.
    EXPECT_FALSE(Hex(Lines({Data(0x8000, Bytes(32, 0)), ":0100"}), "r2.hex").ok());
    EXPECT_FALSE(Hex(Lines({Linear(0x0020), Data(0, Bytes(32, 0)), ":0100"}), "r3.hex").ok());
    ASSERT_TRUE(Hex(Lines({Data(2, {7}), Eof()}), "g2.hex").ok());
    ExpectErased(0, 2);
    ExpectErased(3, kImageCapacity);
    // A binary file refused for its size has filled the whole scratch buffer.
    EXPECT_FALSE(
        LoadBinImage(image, dir.Write("big.bin", std::string(kImageCapacity + 1, 'z'))).ok());
    ASSERT_TRUE(LoadBinImage(image, dir.Write("small.bin", std::string(2, 'y'))).ok());
    ExpectErased(2, kImageCapacity);
    EXPECT_FALSE(
        LoadBinImage(image, dir.Write("big.bin", std::string(kImageCapacity + 1, 'z'))).ok());
    ASSERT_TRUE(Hex(Lines({Data(0, {7}), Eof()}), "g3.hex").ok());
    ExpectErased(1, kImageCapacity);
    // And after successful loads the previous image's buffer is reused.
    ASSERT_TRUE(LoadBinImage(image, dir.Write("full.bin", std::string(kImageCapacity, 'q'))).ok());
    ASSERT_TRUE(LoadBinImage(image, dir.Write("tiny.bin", std::string(1, 'y'))).ok());
    ASSERT_TRUE(LoadBinImage(image, dir.Write("tiny2.bin", std::string(1, 'y'))).ok());
    ExpectErased(1, kImageCapacity);
}

// --- Format by name ----------------------------------------------------------------------------

TEST_F(Loaders, FormatChosenByTheThirdCharacterFromTheEnd) {
    const std::string hex = Lines({Data(0, {0x3A, 0x31}), Eof()});  // bytes ':' '1'
    for (const char* name : {"a.hex", "a.HEX", "a.h00", "a.Hxx"}) {
        FirmwareImage img;
        const auto r = LoadImageByName(img, dir.Write(name, hex));
        ASSERT_TRUE(r.ok()) << name << ": " << r.text();
        EXPECT_EQ(img.length, 2u) << name;
        EXPECT_EQ(img.data[0], 0x3A) << name;
    }
    for (const char* name : {"b.bin", "b.BIN", "b.bak"}) {
        FirmwareImage img;
        const auto r = LoadImageByName(img, dir.Write(name, hex));
        ASSERT_TRUE(r.ok()) << name << ": " << r.text();
        EXPECT_EQ(img.length, hex.size()) << name;
        EXPECT_EQ(img.data[0], ':') << name;
    }
}

TEST_F(Loaders, OtherNamesAreRefusedAndTheImageKept) {
    ASSERT_TRUE(LoadBinImage(image, dir.Write("k.bin", std::string(5, '\x05'))).ok());
    const auto before = image.data;
    for (const char* name : {"c.hx", "c.img", "c.txt", "hx", "c.s19"}) {
        const auto r = LoadImageByName(image, dir.Write(name, Lines({Data(0, {1}), Eof()})));
        EXPECT_FALSE(r.ok()) << name;
        EXPECT_EQ(r.text(), std::string(name) + ": not a .hex, .h00 or .bin file");
    }
    EXPECT_EQ(LoadImageByName(image, "").text(), "(no file name): not a .hex, .h00 or .bin file");
    EXPECT_FALSE(LoadImageByName(image, "ab").ok());
    EXPECT_EQ(image.length, 5u);
    EXPECT_TRUE(image.data == before);
}

TEST_F(Loaders, ErrorNamesTheFileWithoutItsFolder) {
    const auto r = LoadHexImage(
        image, dir.Write("Tesmora_K2DAC_v11.hex", Lines({kGood, kGood, kGood, ":0100000001FF"})));
    EXPECT_EQ(r.text(), "Tesmora_K2DAC_v11.hex line 4: record checksum is wrong");
    EXPECT_EQ(LoadHexImage(image, "C:\\fw\\x.hex").text(), "x.hex: cannot be opened");
}

}  // namespace
}  // namespace qv

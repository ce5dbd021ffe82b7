#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "TestFiles.h"
#include "cli/ImageCommand.h"
#include "data/DemoFirmware.h"
#include "image/ImageLoaders.h"

namespace qv {
namespace {

TEST(ImageCommand, PrintsLengthAndChecksumOfTheDemoFirmware) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunImageCommand(QV_DEMO_FIRMWARE_PATH, "", out, err), 0);
    EXPECT_TRUE(err.str().empty()) << err.str();
    FirmwareImage image;
    const auto r = LoadHexImage(image, QV_DEMO_FIRMWARE_PATH);
    char checksum[32];
    std::snprintf(checksum, sizeof checksum, "Checksum : 0x%04X\n", r.checksum);
    EXPECT_NE(out.str().find(checksum), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Length   : 27648 bytes (0x006C00)\n"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("User parameter table at 0x005A00\n"), std::string::npos) << out.str();
}

TEST(ImageCommand, ChecksumHasFourUpperCaseDigits) {
    test::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    // 3 bytes 0x0A: checksum 0x001E, printed with leading zeros.
    EXPECT_EQ(RunImageCommand(dir.Write("a.BIN", std::string(3, '\x0A')), "", out, err), 0);
    EXPECT_NE(out.str().find("Checksum : 0x001E\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("User parameter table not found\n"), std::string::npos);
    std::ostringstream out2;
    EXPECT_EQ(RunImageCommand(dir.Write("b.bin", std::string(1024, '\xFF')), "", out2, err), 0);
    EXPECT_NE(out2.str().find("Checksum : 0xFC00\n"), std::string::npos) << out2.str();
}

TEST(ImageCommand, OutWritesTheLoadedBytes) {
    test::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    const auto bin = dir.File("k2.bin");
    ASSERT_EQ(RunImageCommand(QV_DEMO_FIRMWARE_PATH, bin, out, err), 0) << err.str();
    EXPECT_EQ(test::ReadBytes(bin), demo::BuildDemoFirmwareImage());
}

TEST(ImageCommand, RefusalIsReportedWithLineAndStatus1) {
    test::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    const auto bad = dir.Write("bad.hex", test::Lines({test::Data(0, {1}), ":0100000001FF"}));
    const auto bin = dir.File("never.bin");
    EXPECT_EQ(RunImageCommand(bad, bin, out, err), 1);
    EXPECT_EQ(err.str(), "qvtool image: bad.hex line 2: record checksum is wrong\n");
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(std::filesystem::exists(bin));

    std::ostringstream err2;
    EXPECT_EQ(RunImageCommand(dir.File("missing.hex"), "", out, err2), 1);
    EXPECT_EQ(err2.str(), "qvtool image: missing.hex: cannot be opened\n");
    std::ostringstream err3;
    EXPECT_EQ(RunImageCommand(dir.Write("x.img", std::string("12")), "", out, err3), 1);
    EXPECT_EQ(err3.str(), "qvtool image: x.img: not a .hex, .h00 or .bin file\n");
}

TEST(ImageCommand, UnwritableOutIsStatus1) {
    test::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunImageCommand(QV_DEMO_FIRMWARE_PATH, dir.File("no/such/dir/x.bin"), out, err), 1);
    EXPECT_NE(err.str().find("cannot be created"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace qv

// qvtool image: what a firmware file holds, and --out.

#include <gtest/gtest.h>

#include <string>

#include "CliRun.h"
#include "TestFiles.h"
#include "data/DemoFirmware.h"
#include "image/ImageLoaders.h"

namespace qv {
namespace {

TEST(ImageCommand, PrintsLengthAndChecksumOfTheDemoFirmware) {
    const CliRun run = RunCli({"image", QV_DEMO_FIRMWARE_PATH});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.empty()) << run.err;
    FirmwareImage image;
    const auto r = test::LoadHexImage(image, QV_DEMO_FIRMWARE_PATH);
    char checksum[32];
    ASSERT_TRUE(r.ok()) << r.text();
    std::snprintf(checksum, sizeof checksum, "Checksum : 0x%04X\n", r->checksum);
    EXPECT_TRUE(Has(run.out, checksum)) << run.out;
    EXPECT_TRUE(Has(run.out, "Length   : 27648 bytes (0x006C00)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "User parameter table at 0x005A00\n")) << run.out;

    const auto json = RunCli({"image", QV_DEMO_FIRMWARE_PATH, "--json"}).Json();
    EXPECT_EQ(json["length"], 27648);
    EXPECT_EQ(json["parameterTable"], "005A00");
}

TEST(ImageCommand, ChecksumHasFourUpperCaseDigits) {
    test::TempDir dir;
    // 3 bytes 0x0A: checksum 0x001E, printed with leading zeros.
    const CliRun a = RunCli({"image", dir.Write("a.BIN", std::string(3, '\x0A'))});
    EXPECT_EQ(a.status, 0);
    EXPECT_TRUE(Has(a.out, "Checksum : 0x001E\n")) << a.out;
    EXPECT_TRUE(Has(a.out, "User parameter table not found\n"));
    const CliRun b = RunCli({"image", dir.Write("b.bin", std::string(1024, '\xFF'))});
    EXPECT_TRUE(Has(b.out, "Checksum : 0xFC00\n")) << b.out;
}

TEST(ImageCommand, OutWritesTheLoadedBytes) {
    test::TempDir dir;
    const auto bin = dir.File("k2.bin");
    const CliRun run = RunCli({"image", QV_DEMO_FIRMWARE_PATH, "--out", bin});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::ReadBytes(bin), demo::BuildDemoFirmwareImage());
}

TEST(ImageCommand, RefusalsNameTheFileAndExitAsFileRefused) {
    test::TempDir dir;
    const auto bad = dir.Write("bad.hex", test::Lines({test::Data(0, {1}), ":0100000001FF"}));
    const auto bin = dir.File("never.bin");
    const CliRun refused = RunCli({"image", bad, "--out", bin});
    EXPECT_EQ(refused.status, 4);
    EXPECT_TRUE(Has(refused.err, "line 2: record checksum is wrong")) << refused.err;
    EXPECT_TRUE(refused.out.empty());
    EXPECT_FALSE(std::filesystem::exists(bin));

    const CliRun missing = RunCli({"image", dir.File("missing.hex")});
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.err, "qvtool image: " + dir.File("missing.hex") +
                               ": cannot be opened: No such file or directory\n");
    const CliRun unknown = RunCli({"image", dir.Write("x.img", std::string("12"))});
    EXPECT_EQ(unknown.status, 4);
    EXPECT_TRUE(Has(unknown.err, "x.img: not a .hex, .h00 or .bin file")) << unknown.err;
}

}  // namespace
}  // namespace qv

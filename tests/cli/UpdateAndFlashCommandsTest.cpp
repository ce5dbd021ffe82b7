// qvtool update and qvtool flash on the virtual device.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CliRun.h"

namespace qv {
namespace {

TEST(QvtoolUpdate, UpdatesTheVirtualProductFromTheGivenFile) {
    const CliRun run = RunCli({"--simulate", "update", "--yes", "--file", QV_DEMO_FIRMWARE_PATH});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Start Verifying Check\nVerifying Success\nFirmware update success!\n"),
              std::string::npos)
        << run.out;
}

TEST(QvtoolUpdate, FailuresExitNonZeroWithTheReason) {
    const CliRun bare = RunCli({"--simulate=isp-a7d6", "update", "--yes"});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("name its firmware with --file"), std::string::npos) << bare.err;

    const CliRun refused = RunCli({"--simulate", "--sim-fault=refuse-isp", "update", "--yes",
                                   "--json", "--file", QV_DEMO_FIRMWARE_PATH});
    EXPECT_EQ(refused.status, 1);
    const auto json = refused.Json();
    EXPECT_EQ(json["command"], "update");
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["error"]["kind"], "device");
    EXPECT_TRUE(Has(json["error"]["message"].get<std::string>(), "Enter ISP Mode Fail"))
        << refused.out;
}

// What the device and its flash may do wrong: each ends the update with status 1 and the step,
// the kind and the message in JSON.
TEST(QvtoolUpdate, EachDeviceFaultEndsInItsOwnFailure) {
    const struct {
        const char* fault;
        const char* step;
        const char* kind;
        const char* message;
    } cases[] = {
        {"no-flash:0", "read the flash id", "finding",
         "the update failed: no flash answered; nothing was changed (read the flash id: the id "
         "reads 00 00 00)"},
        {"no-flash:1", "read the flash id", "finding",
         "the update failed: no flash answered; nothing was changed (read the flash id: the id "
         "reads FF FF FF)"},
        {"write-protected", "write the status register", "finding",
         "the update failed: the flash is write-protected (status 0x9C; write-protect pin held?) "
         "(write the status register: its protect bits stayed set when the status register was "
         "cleared)"},
        {"stuck-busy", "erase", "finding",
         "the update failed: Erase Flash Fail (erase: the flash did not finish erasing)"},
        {"short-read:1", "read the flash id", "short-transfer",
         "the update failed: no flash answered; nothing was changed (read the flash id: control "
         "transfer: short transfer, 0 of 1 bytes)"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli({"--simulate", "--sim-fault", c.fault, "--json", "update",
                                   "--yes", "--file", QV_DEMO_FIRMWARE_PATH});
        EXPECT_EQ(run.status, 1) << c.fault << ": " << run.out;
        const auto json = run.Json();
        EXPECT_EQ(json["error"]["kind"], "device") << c.fault;
        EXPECT_EQ(json["error"]["message"], c.message) << c.fault;
        EXPECT_EQ(json["reason"]["step"], c.step) << c.fault;
        EXPECT_EQ(json["reason"]["kind"], c.kind) << c.fault;
    }
}

TEST(QvtoolFlash, ReadsIdAndDumpsTheFlash) {
    const CliRun id = RunCli({"--simulate", "flash", "id"});
    EXPECT_EQ(id.status, 0) << id.err;
    EXPECT_EQ(id.out, "Flash id: 0xEF,  0x40,  0x15,  (program blocks of 256 bytes)\n");

    const auto file = std::filesystem::path(::testing::TempDir()) / "qvtool_dump.txt";
    const CliRun read = RunCli({"--simulate", "flash", "read", file.string(), "--kib", "1"});
    EXPECT_EQ(read.status, 0) << read.err;
    std::ifstream in(file, std::ios::binary);
    const std::string dump{std::istreambuf_iterator<char>(in), {}};
    std::string row;
    for (int k = 0; k < 16; ++k) row += "0xFF, ";
    std::string expected;
    for (int r = 0; r < 64; ++r) expected += row + '\r';
    EXPECT_EQ(dump, expected);
}

TEST(QvtoolFlash, VerifyOfAnErasedFlashFailsAtItsFirstByte) {
    const CliRun run = RunCli({"--simulate", "flash", "verify", "--file", QV_DEMO_FIRMWARE_PATH});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("failed: Verifying Fail at 0x000000"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace qv

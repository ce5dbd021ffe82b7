// qvtool flash erase and program do exactly what they say: ranges on sector boundaries or
// refused before any traffic, and a protected flash refused rather than left unchanged under a
// report of success.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "CliRun.h"
#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string TempPath(const std::string& name) {
    return (fs::path(::testing::TempDir()) / name).string();
}

// The flash bytes a state file keeps.
std::vector<std::uint8_t> FlashOf(const std::string& state) {
    const auto device = KeptDevice(state);
    return device ? device->Chip().Flash().Contents() : std::vector<std::uint8_t>{};
}

TEST(FlashRanges, RangesThatAreNotWholeSectorsOrNotThereAreRefusedBeforeAnyTraffic) {
    struct Case {
        std::vector<std::string> arguments;
        const char* refusal;
    };
    const std::vector<Case> cases{
        {{"erase", "--start", "3", "--size", "1"},
         "0x000C00 to 0x000FFF would erase 0x000000 to 0x000FFF"},
        {{"erase", "--start", "4", "--size", "6"},
         "0x001000 to 0x0027FF would erase 0x001000 to 0x002FFF"},
        {{"erase", "--start", "8"}, "--start needs --size"},
        {{"erase", "--size", "4"}, "--size needs --start"},
        {{"erase", "--start", "8", "--size", "0"}, "--size 0 erases nothing"},
        {{"erase", "--start", "4194304", "--size", "4"}, "16 MiB flash address space"},
        {{"erase", "--start", "16380", "--size", "8"}, "16 MiB flash address space"},
        {{"program", "--start", "16384", "--file", QV_DEMO_FIRMWARE_PATH},
         "--start passes the 16 MiB"},
    };
    const std::string log = TempPath("ranges.log");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1] + " " + c.arguments[2]);
        std::vector<std::string> arguments{"--simulate", "--io-log", log, "flash"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(Has(run.err, c.refusal)) << run.err;
        EXPECT_TRUE(Has(run.err, "Nothing was sent.")) << run.err;
        EXPECT_TRUE(!fs::exists(log) || fs::file_size(log) == 0) << "traffic was sent";
    }
}

// Every update leaves the flash protected, which a real flash honours silently.
class ProtectedFlash : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"update", "--yes", "--file", QV_DEMO_FIRMWARE_PATH}).status, 0);
        updated_ = FlashOf(state_);
    }
    void TearDown() override { fs::remove(state_); }

    CliRun Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--simulate", "--sim-state", state_});
        return RunCli(arguments);
    }

    const std::string state_ = TempPath("protected.qv");
    std::vector<std::uint8_t> updated_;
};

TEST_F(ProtectedFlash, EraseAndProgramFailAndChangeNothingWithoutUnprotect) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"flash", "erase"},
          std::vector<std::string>{"flash", "erase", "--start", "0", "--size", "4"},
          std::vector<std::string>{"flash", "program", "--file", QV_DEMO_FIRMWARE_PATH}}) {
        SCOPED_TRACE(command[1] + std::to_string(command.size()));
        const CliRun run = Run(command);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "Flash is protected (status register 0x")) << run.err;
        EXPECT_TRUE(Has(run.err, "add --unprotect")) << run.err;
        EXPECT_FALSE(Has(run.out, "Success")) << run.out;
        EXPECT_EQ(FlashOf(state_), updated_);
    }
}

TEST_F(ProtectedFlash, UnprotectClearsTheProtectionAndErasesExactlyTheSectorsNamed) {
    struct Case {
        std::vector<std::string> range;
        std::uint32_t from, to;  // the bytes erased
    };
    const std::vector<Case> cases{
        {{"--start", "4", "--size", "4"}, 0x1000, 0x2000},
        {{"--start", "3", "--size", "2", "--align"}, 0x0000, 0x2000},
        {{}, 0, 0x200000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        ASSERT_EQ(Run({"update", "--yes", "--file", QV_DEMO_FIRMWARE_PATH}).status, 0);
        std::vector<std::string> arguments{"--json", "flash", "erase", "--unprotect"};
        arguments.insert(arguments.end(), c.range.begin(), c.range.end());
        const CliRun run = Run(arguments);
        EXPECT_EQ(run.status, 0) << run.out;
        const auto json = run.Json();
        EXPECT_TRUE(Has(json["steps"].dump(), "Flash protection cleared (status register was 0x"))
            << run.out;
        std::vector<std::uint8_t> expected = updated_;
        std::fill(expected.begin() + c.from, expected.begin() + c.to, 0xFF);
        EXPECT_EQ(FlashOf(state_), expected);
    }
}

}  // namespace
}  // namespace qv

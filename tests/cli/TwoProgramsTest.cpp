// Two qvtool processes on one virtual device kept in a state file: one waits for the other, so
// neither change is lost; one that cannot wait long enough says who holds the device and
// changes nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CliRun.h"
#include "sim/Simulation.h"
#include "tests/support/ChildProcess.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;

std::string TempPath(const std::string& name) {
    return (fs::path(::testing::TempDir()) / name).string();
}

std::vector<std::string> Qvtool(const std::string& state, std::vector<std::string> command) {
    std::vector<std::string> arguments{QV_QVTOOL_PATH, "--simulate", "--sim-virtual-time",
                                       "--sim-state", state};
    arguments.insert(arguments.end(), command.begin(), command.end());
    return arguments;
}

TEST(TwoPrograms, OnOneStateFileNeitherChangeIsLost) {
    const std::string state = TempPath("shared.qv");
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        fs::remove(state);
        ChildProcess update(Qvtool(state, {"update", "--yes", "--file", QV_DEMO_FIRMWARE_PATH}));
        ChildProcess name(
            Qvtool(state, {"param", "string", "2", "Bench " + std::to_string(round)}));
        ChildProcess read(Qvtool(state, {"flash", "read", TempPath("shared.txt"), "--kib", "64"}));
        for (ChildProcess* program : {&update, &name, &read}) {
            program->Wait();
            EXPECT_EQ(program->ExitStatus(), 0) << program->Err();
        }
        const CliRun verify = RunCli({"--simulate", "--sim-state", state, "flash", "verify",
                                      "--file", QV_DEMO_FIRMWARE_PATH});
        EXPECT_EQ(verify.status, 0) << "the update was lost: " << verify.err;
        // The parameters in the kept EEPROM bytes hold the new name.
        std::ifstream kept(state, std::ios::binary);
        EXPECT_TRUE(Has(std::string(std::istreambuf_iterator<char>(kept), {}),
                        "Bench " + std::to_string(round)))
            << "the name was lost";
    }
    fs::remove(state);
}

TEST(TwoPrograms, OneThatCannotWaitSaysWhoHoldsTheDeviceAndChangesNothing) {
    const std::string state = TempPath("held.qv");
    ASSERT_EQ(RunCli({"--simulate", "--sim-state", state, "flash", "id"}).status, 0);
    std::ifstream before(state, std::ios::binary);
    const std::string kept{std::istreambuf_iterator<char>(before), {}};
    {
        // This process keeps the device, as a window open on it would.
        const auto holder = KeptDevice(state);
        ASSERT_NE(holder, nullptr);
        ChildProcess second(Qvtool(state, {"--json", "param", "string", "1", "Other"}));
        second.Wait();
        EXPECT_EQ(second.ExitStatus(), 3);
        const auto json = nlohmann::json::parse(second.Out());
        EXPECT_EQ(json["error"]["kind"], "no-device");
        EXPECT_EQ(json["error"]["message"], "the state file '" + state + "' is in use by process " +
                                                std::to_string(getpid()) +
                                                "; it was left as it is");
    }
    std::ifstream after(state, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), kept);
    fs::remove(state);
}

}  // namespace
}  // namespace qv

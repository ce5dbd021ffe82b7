// The virtual device's options from the command line: what the product plays, the flash part
// and a device kept in a state file from one run to the next.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "CliRun.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh path in the test's temporary folder.
fs::path TempPath(const std::string& name) {
    const fs::path path = fs::path(::testing::TempDir()) / name;
    fs::remove(path);
    return path;
}

TEST(SimAudio, StatusShowsWhatTheProductPlays) {
    const struct {
        const char* setting;
        const char* shown;
    } cases[] = {
        {"", "USB connected\nPlaying\nInput format: PCM\nInput rate: 44.1KHz\n"},
        {"pcm,96", "USB connected\nPlaying\nInput format: PCM\nInput rate: 96KHz\n"},
        {"dsd,128", "USB connected\nPlaying\nInput format: DSD\nInput rate: DSD 128\n"},
        {"dop,64", "USB connected\nPlaying\nInput format: DSD\nInput rate: DoP  64\n"},
        {"pcm,768,mute", "USB connected\nMute\n"},
        {"dsd,512,disconnected", "USB Disconnected\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"--simulate", "status"};
        if (*c.setting != '\0') arguments.push_back(std::string("--sim-audio=") + c.setting);
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 0) << c.setting << run.err;
        EXPECT_EQ(run.out, c.shown) << c.setting;
    }
    for (const char* bad : {"pcm,95", "dsd,44.1", "flac,48", "pcm,48,loud"}) {
        const CliRun run = RunCli({"--simulate", std::string("--sim-audio=") + bad, "status"});
        EXPECT_NE(run.status, 0) << bad;
        EXPECT_TRUE(Has(run.err, std::string("--sim-audio '") + bad + "'")) << run.err;
    }
    const CliRun bare = RunCli({"--simulate=isp-a7d6", "--sim-audio=pcm,48", "status"});
    EXPECT_NE(bare.status, 0);
    EXPECT_TRUE(Has(bare.err, "bare chip")) << bare.err;
}

TEST(SimFlash, FullImageUpdatesOnTheFourMebibytePart) {
    const fs::path image = TempPath("qv_full_4MiB.bin");
    {
        std::mt19937 random(11);
        std::string bytes(4u << 20, '\0');
        for (char& byte : bytes) byte = static_cast<char>(random());
        std::ofstream(image, std::ios::binary) << bytes;
    }
    const CliRun id = RunCli({"--simulate", "--sim-flash=EF4016", "flash", "id"});
    EXPECT_EQ(id.status, 0) << id.err;
    EXPECT_TRUE(Has(id.out, "0xEF,  0x40,  0x16")) << id.out;

    const CliRun update =
        RunCli({"--simulate", "--sim-flash=ef4016", "update", "--yes", "--file", image.string()});
    EXPECT_EQ(update.status, 0) << update.err;

    const CliRun unknown = RunCli({"--simulate", "--sim-flash=EF4099", "flash", "id"});
    EXPECT_NE(unknown.status, 0);
    EXPECT_TRUE(Has(unknown.err, "--sim-flash 'EF4099'")) << unknown.err;
    fs::remove(image);
}

TEST(SimState, OneDeviceAcrossRuns) {
    const fs::path state = TempPath("qv_bench.qv");
    const std::vector<std::string> device{"--simulate", "--sim-state", state.string()};
    const auto run = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), device.begin(), device.end());
        return RunCli(arguments);
    };
    EXPECT_EQ(run({"update", "--yes", "--file", QV_DEMO_FIRMWARE_PATH}).status, 0);
    ASSERT_TRUE(fs::exists(state));
    // A fresh device would fail at its first byte.
    const CliRun verify = run({"flash", "verify", "--file", QV_DEMO_FIRMWARE_PATH});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(run({"param", "settings", "--set", "4F000000"}).status, 0);
    EXPECT_TRUE(Has(run({"param", "settings"}).out, "4F000080")) << run({"param", "settings"}).out;

    // A state file decides the device: naming another product or flash is refused.
    const std::string kept = ReadAll(state);
    const CliRun other =
        RunCli({"--simulate=isp-a7d6", "--sim-state", state.string(), "flash", "id"});
    EXPECT_NE(other.status, 0);
    EXPECT_TRUE(Has(other.err, "keeps a virtual Tesmora K2 DAC")) << other.err;
    const CliRun flash = run({"--sim-flash=EF4016", "flash", "id"});
    EXPECT_NE(flash.status, 0);
    EXPECT_TRUE(Has(flash.err, "flash EF4015, not EF4016")) << flash.err;
    EXPECT_EQ(ReadAll(state), kept);

    // A damaged file is refused and left as it is.
    for (const std::size_t at : {std::size_t{0}, kept.size() / 2, kept.size() - 1}) {
        std::string damaged = kept;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        std::ofstream(state, std::ios::binary | std::ios::trunc) << damaged;
        const CliRun refused = run({"flash", "id"});
        EXPECT_EQ(refused.status, 4) << at;  // a file refused, as --help says
        EXPECT_TRUE(Has(refused.err, "is damaged")) << refused.err;
        EXPECT_EQ(ReadAll(state), damaged) << at;
    }
    std::ofstream(state, std::ios::binary | std::ios::trunc) << kept.substr(0, 100);
    EXPECT_NE(run({"flash", "id"}).status, 0);
    fs::remove(state);
}

// The device options are refused as the window refuses them, whatever the command.
TEST(SimOptions, CombinationsThatCannotGoTogetherAreRefusedBeforeAnyTraffic) {
    const struct {
        std::vector<std::string> arguments;
        const char* reason;
    } cases[] = {
        {{"--sim-audio=pcm,48", "status"}, "--sim-audio needs --simulate"},
        {{"list", "--sim-virtual-time"}, "--sim-virtual-time needs --simulate"},
        {{"--sim-fault=refuse-isp", "image", QV_DEMO_FIRMWARE_PATH},
         "--sim-fault needs --simulate"},
        {{"--replay", "k2dac.log", "--simulate", "list"},
         "--replay and --simulate exclude each other"},
        {{"--simulate", "--simulate=isp-a7d6", "--sim-state", "s.qv", "list"},
         "--sim-state keeps one virtual device"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_TRUE(Has(run.err, c.reason)) << run.err;
        EXPECT_EQ(run.out, "") << c.reason;
    }
}

}  // namespace
}  // namespace qv

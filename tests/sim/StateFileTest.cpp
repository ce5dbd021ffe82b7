// The state file's bytes in memory: the framing, the header and a device loaded and saved again.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"
#include "sim/StateFile.h"

namespace qv::sim {
namespace {

std::vector<std::uint8_t> Saved(Qv4820Model& chip, const std::string& key) {
    StateWriter out;
    WriteStateHeader(out, key, chip.Flash().Id());
    chip.SaveState(out);
    return out.Data();
}

// Loads `state` into a new chip as --sim-state does and saves it again; empty when refused.
std::vector<std::uint8_t> LoadedAndSaved(const std::vector<std::uint8_t>& state) {
    StateReader in(state);
    const auto header = ReadStateHeader(in);
    if (!header) return {};
    VirtualClock clock;
    Qv4820Model chip(clock, header->flash);
    chip.LoadState(in);
    if (!in.Ok() || !in.AtEnd()) return {};
    return Saved(chip, header->key);
}

TEST(StateFile, AnyCutOrFlippedByteIsRefused) {
    const std::vector<std::uint8_t> state{'d', 'e', 'v', 'i', 'c', 'e', 0, 0xFF};
    const std::vector<std::uint8_t> file = WrapState(state);
    std::vector<std::uint8_t> read;
    ASSERT_TRUE(UnwrapState(file, read));
    EXPECT_EQ(read, state);
    for (std::size_t size = 0; size < file.size(); ++size)
        EXPECT_FALSE(UnwrapState({file.begin(), file.begin() + size}, read)) << size;
    for (std::size_t at = 0; at < file.size(); ++at) {
        std::vector<std::uint8_t> damaged = file;
        damaged[at] ^= 0x01;
        EXPECT_FALSE(UnwrapState(damaged, read)) << at;
    }
}

TEST(StateFile, HeaderNamesAKnownDeviceAndFlash) {
    struct Case {
        std::string key;
        JedecId id;
        bool known;
    };
    const Case cases[] = {
        {"isp-a7d6", {0xEF, 0x40, 0x15}, true},
        {"isp-a7d6 ", {0xEF, 0x40, 0x15}, false},  // kept keys are exact
        {"", {0xEF, 0x40, 0x15}, false},
        {"no such product", {0xEF, 0x40, 0x15}, false},
        {"isp-a7d6", {0xEF, 0x40, 0x00}, false},
    };
    for (const Case& c : cases) {
        StateWriter out;
        WriteStateHeader(out, c.key, c.id);
        StateReader in(out.Data());
        const auto header = ReadStateHeader(in);
        EXPECT_EQ(header.has_value(), c.known) << c.key;
        if (header) {
            EXPECT_EQ(header->flash.id, c.id);
        }
    }
    const std::vector<std::uint8_t> cut{0x08, 0,   0,  0,
                                        'i',  's', 'p'};  // text longer than the bytes
    StateReader in(cut);
    EXPECT_FALSE(ReadStateHeader(in));
}

TEST(StateFile, UsedDeviceSavesLoadsAndSavesTheSameBytes) {
    VirtualClock clock;
    Qv4820Model chip(clock, PresetConfig(FlashPreset::kCommon2MiB));
    chip.Flash().Preload(0x1000, {1, 2, 3});
    chip.DefaultSlave().Registers()[7] = 0x5A;
    const std::vector<std::uint8_t> saved = Saved(chip, "isp-0c5e");
    EXPECT_EQ(LoadedAndSaved(saved), saved);

    // A flag that is neither 0 nor 1, a byte too few or too many: damaged, refused.
    std::vector<std::uint8_t> damaged = saved;
    damaged[damaged.size() - 1 - chip.DefaultSlave().Registers().size() - 1] = 2;  // ISP flag
    EXPECT_TRUE(LoadedAndSaved(damaged).empty());
    EXPECT_TRUE(LoadedAndSaved({saved.begin(), saved.end() - 1}).empty());
    damaged = saved;
    damaged.push_back(0);
    EXPECT_TRUE(LoadedAndSaved(damaged).empty());
}

}  // namespace
}  // namespace qv::sim

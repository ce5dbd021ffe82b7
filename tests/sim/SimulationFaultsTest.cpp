// The faults a person can rehearse on the virtual device with --sim-fault.

#include <gtest/gtest.h>

#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"

namespace qv::sim {
namespace {

std::unique_ptr<Simulation> Simulate(std::vector<std::string> faults, std::string& error) {
    SimulationOptions options;
    options.faults = std::move(faults);
    options.realTime = false;
    return Simulation::Create(options, error);
}

TEST(SimulationFaultsTest, SlowEraseTakesTheDatasheetMaximumForTheFlashSize) {
    std::string error;
    const auto simulation = Simulate({"slow-erase"}, error);
    ASSERT_TRUE(simulation) << error;
    SpiFlash& flash = simulation->Chip().Flash();
    Clock& clock = simulation->DeviceClock();
    for (const std::uint8_t instruction : {0x06, 0xC7}) {
        flash.Select();
        flash.Exchange(instruction);
        flash.Deselect();
    }
    clock.SleepMicros(25'000'000 - 1);
    EXPECT_TRUE(flash.Busy());
    clock.SleepMicros(1);
    EXPECT_FALSE(flash.Busy());
}

TEST(SimulationFaultsTest, MalformedFaultsAreRefusedWithTheKnownOnes) {
    for (const char* fault : {"slow-erase:1", "slow", "silent-after", "silent-after:x"}) {
        std::string error;
        EXPECT_FALSE(Simulate({fault}, error)) << fault;
        EXPECT_NE(error.find("slow-erase"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace qv::sim

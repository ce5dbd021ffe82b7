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
    // 2 MiB by default: 25 s at the datasheet maximum instead of the typical 5 s.
    EXPECT_EQ(simulation->Chip().Flash().Timings().chipEraseMicros, 25'000'000u);
}

TEST(SimulationFaultsTest, MalformedFaultsAreRefusedWithTheKnownOnes) {
    for (const char* fault : {"slow-erase:1", "slow", "quiet-after", "quiet-after:x"}) {
        std::string error;
        EXPECT_FALSE(Simulate({fault}, error)) << fault;
        EXPECT_NE(error.find("slow-erase"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace qv::sim

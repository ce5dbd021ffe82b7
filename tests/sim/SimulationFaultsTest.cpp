// The faults a person can rehearse on the virtual device with --sim-fault.

#include <gtest/gtest.h>

#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"

namespace qv::sim {
namespace {

Expected<std::unique_ptr<Simulation>> Simulate(std::vector<std::string> faults) {
    SimulationOptions options;
    options.faults = std::move(faults);
    options.realTime = false;
    return Simulation::Create(options);
}

TEST(SimulationFaultsTest, SlowEraseTakesTheDatasheetMaximumForTheFlashSize) {
    const auto made = Simulate({"slow-erase"});
    ASSERT_TRUE(made.ok()) << made.text();
    const auto& simulation = *made;
    // 2 MiB by default: 25 s at the datasheet maximum instead of the typical 5 s.
    EXPECT_EQ(simulation->Chip().Flash().Timings().chipEraseMicros, 25'000'000u);
}

TEST(SimulationFaultsTest, MalformedFaultsAreRefusedWithTheKnownOnes) {
    for (const char* fault : {"slow-erase:1", "slow", "quiet-after", "quiet-after:x"}) {
        const auto made = Simulate({fault});
        EXPECT_FALSE(made.ok()) << fault;
        EXPECT_NE(made.text().find("slow-erase"), std::string::npos) << made.text();
    }
}

}  // namespace
}  // namespace qv::sim

// The shared device options: which combinations are refused, and which virtual device each
// setting reaches.

#include <gtest/gtest.h>

#include <set>

#include "stack/StackOptions.h"

namespace qv {
namespace {

using enum StackOptionId;

TEST(StackOptions, CombinationsThatCannotGoTogetherAreRefused) {
    const struct {
        std::vector<GivenOption> given;
        const char* refusal;  // empty: accepted
    } cases[] = {
        {{}, ""},
        {{{kIoLog, "a.log"}}, ""},
        {{{kReplay, "a.log"}, {kIoLog, "b.log"}}, ""},
        {{{kSimFault, "refuse-isp"}}, "--sim-fault needs --simulate"},
        {{{kSimAudio, "pcm,48"}}, "--sim-audio needs --simulate"},
        {{{kSimFlash, "EF4016"}}, "--sim-flash needs --simulate"},
        {{{kSimState, "s.qv"}}, "--sim-state needs --simulate"},
        {{{kSimLatency, "5"}}, "--sim-latency needs --simulate"},
        {{{kSimVirtualTime, ""}}, "--sim-virtual-time needs --simulate"},
        {{{kSimLatency, "5"}, {kSimulate, ""}}, ""},  // before or after --simulate
        {{{kReplay, "a.log"}, {kSimulate, ""}}, "--replay and --simulate exclude each other"},
        {{{kSimulate, ""}, {kSimulate, "isp-a7d6"}, {kSimState, "s.qv"}},
         "--sim-state keeps one virtual device; give --simulate once"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        const Expected<DeviceStackOptions> options = ReadStackOptions(c.given);
        EXPECT_EQ(options.ok(), *c.refusal == '\0');
        EXPECT_EQ(options.text(), c.refusal);
    }
}

TEST(StackOptions, AFaultAppliesToTheSimulateBeforeItOrToAllBeforeAny) {
    const Expected<DeviceStackOptions> options = ReadStackOptions({{kSimFault, "stuck-busy"},
                                                                   {kSimulate, "Tesmora Pavo"},
                                                                   {kSimFault, "refuse-isp"},
                                                                   {kSimAudio, "dsd,64"},
                                                                   {kSimulate, ""},
                                                                   {kSimFault, "unplug-after:3"},
                                                                   {kSimVirtualTime, ""}});
    ASSERT_TRUE(options.ok()) << options.text();
    ASSERT_EQ(options->virtualDevices.size(), 2u);
    const sim::SimulationOptions& pavo = options->virtualDevices[0];
    const sim::SimulationOptions& second = options->virtualDevices[1];
    EXPECT_EQ(pavo.product, "Tesmora Pavo");
    EXPECT_EQ(pavo.faults, (std::vector<std::string>{"stuck-busy", "refuse-isp"}));
    EXPECT_EQ(second.product, "");
    EXPECT_EQ(second.faults, (std::vector<std::string>{"stuck-busy", "unplug-after:3"}));
    // Settings other than faults reach every device wherever they stand; each has a path of
    // its own.
    for (const sim::SimulationOptions& device : options->virtualDevices) {
        EXPECT_EQ(device.audio, "dsd,64");
        EXPECT_FALSE(device.realTime);
    }
    EXPECT_EQ(pavo.instance, 1);
    EXPECT_EQ(second.instance, 2);
}

TEST(StackOptions, EveryOptionHasOneEntryAndItsNamesAreUnique) {
    std::set<std::string> names;
    for (const StackOption& option : StackOptions()) {
        EXPECT_EQ(&StackOptionFor(option.id), &option);
        EXPECT_FALSE(option.help.empty()) << option.names.front();
        // The refusal of a --sim-* option without --simulate comes from this flag.
        EXPECT_EQ(option.virtualDevice, option.names.front().starts_with("sim-"))
            << option.names.front();
        for (const std::string& name : option.names) EXPECT_TRUE(names.insert(name).second) << name;
    }
}

}  // namespace
}  // namespace qv

// The one list of the virtual device's faults: every fault parses as its help shows it and is
// documented in the README.

#include <gtest/gtest.h>

#include <fstream>

#include "sim/Qv4820Model.h"
#include "sim/SimFaults.h"

namespace qv::sim {
namespace {

TEST(FaultList, EachFaultAppliesAsShownAndIsInHelpAndReadme) {
    std::ifstream in(QV_SOURCE_DIR "/README.md");
    std::string readme;
    for (std::string word; in >> word;) readme += word + ' ';  // line breaks as spaces
    ASSERT_FALSE(readme.empty());
    const std::string help = FaultHelp();
    for (const FaultDescription& fault : DescribeFaults()) {
        std::string text = fault.usage;
        const auto colon = text.find(':');
        if (colon != std::string::npos) text = text.substr(0, colon) + ":1";
        VirtualClock clock;
        VirtualBus bus(clock);
        auto chip = std::make_shared<Qv4820Model>(clock);
        FaultTarget target{bus, bus.AttachProduct("vid_a7d6&pid_f017", chip), *chip, {}};
        EXPECT_TRUE(ApplyFault(text, target).ok()) << text;
        EXPECT_NE(help.find(fault.usage + " (" + fault.help + ")"), std::string::npos) << text;
        EXPECT_NE(readme.find("`" + fault.usage + "`: " + fault.help), std::string::npos)
            << fault.usage << " is not in the README's list";
    }
}

TEST(FaultList, MalformedAndUnknownFaultsSayWhy) {
    VirtualClock clock;
    VirtualBus bus(clock);
    auto chip = std::make_shared<Qv4820Model>(clock);
    FaultTarget target{bus, bus.AttachProduct("vid_a7d6&pid_f017", chip), *chip, {}};
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"flip:xyz", "malformed --sim-fault 'flip:xyz': the form is flip:ADDR"},
        {"flip:200000", "malformed"},  // past the end of the 2 MiB flash
        {"fail-every:0", "malformed"},
        {"stuck-busy:1", "malformed"},
        {"unplug-after", "malformed"},
        {"slave-nack:100", "malformed"},
        {"bogus", "unknown --sim-fault 'bogus' (known: unplug-after:N, "},
    };
    for (const auto& c : cases) {
        EXPECT_NE(ApplyFault(c.text, target).text().find(c.says), std::string::npos) << c.text;
    }
}

}  // namespace
}  // namespace qv::sim

// qvtool update against chips and flash parts that differ from the usual ones: an update that
// programmed and verified the image succeeds, with a warning where a closing step did not end as
// it should; the exit status and the JSON say which.

#include <gtest/gtest.h>

#include "CliRun.h"

namespace qv {
namespace {

struct BehaviourCase {
    const char* name;
    std::vector<std::string> simulation;  // options that give the virtual device its behaviour
    int status;
    std::string warningStep;  // the one warning's step; empty for none
    std::string warningKind;
    std::string said;  // a step line, a warning's message or the error, as the case needs
};

void PrintTo(const BehaviourCase& c, std::ostream* out) {
    *out << c.name;
}

class QvtoolUpdateBehaviour : public ::testing::TestWithParam<BehaviourCase> {
  protected:
    std::vector<std::string> Arguments(bool json) const {
        std::vector<std::string> arguments = GetParam().simulation;
        if (json) arguments.push_back("--json");
        for (const char* a : {"update", "--yes", "--file", QV_DEMO_FIRMWARE_PATH})
            arguments.push_back(a);
        return arguments;
    }
};

TEST_P(QvtoolUpdateBehaviour, JsonSaysTheResultAndEachWarning) {
    const BehaviourCase& c = GetParam();
    const CliRun run = RunCli(Arguments(true));
    EXPECT_EQ(run.status, c.status) << run.out;
    const auto json = run.Json();
    EXPECT_EQ(json["ok"], c.status == 0);
    const auto& warnings = json["warnings"];
    ASSERT_TRUE(warnings.is_array()) << run.out;
    if (c.warningStep.empty()) {
        EXPECT_TRUE(warnings.empty()) << warnings.dump();
    } else {
        ASSERT_EQ(warnings.size(), 1u) << warnings.dump();
        EXPECT_EQ(warnings[0]["step"], c.warningStep);
        EXPECT_EQ(warnings[0]["kind"], c.warningKind);
        EXPECT_TRUE(Has(warnings[0]["message"].get<std::string>(), c.said)) << warnings.dump();
    }
    const std::string steps = json["steps"].dump();
    EXPECT_EQ(Has(steps, "Firmware update success!"), c.status == 0) << steps;
    if (c.warningStep.empty() && c.status == 0) {
        EXPECT_TRUE(Has(steps, c.said)) << steps;
    }
    if (c.status != 0) {
        EXPECT_TRUE(Has(json["error"]["message"].get<std::string>(), c.said)) << run.out;
    }
}

TEST_P(QvtoolUpdateBehaviour, TextSaysSuccessAndAWarningLine) {
    const BehaviourCase& c = GetParam();
    const CliRun run = RunCli(Arguments(false));
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(Has(run.out, "Firmware update success!\n"), c.status == 0) << run.out;
    const std::string warning = "qvtool: warning: " + c.warningStep + ": ";
    EXPECT_EQ(Has(run.err, warning), !c.warningStep.empty()) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Behaviours, QvtoolUpdateBehaviour,
    ::testing::Values(
        BehaviourCase{"Usual", {"--simulate"}, 0, "", "", "Verifying Success"},
        BehaviourCase{"ChipRestartsOnLeavingIsp",
                      {"--simulate", "--sim-fault=restart-on-isp-exit"},
                      0,
                      "",
                      "",
                      "The device restarted on leaving ISP mode"},
        BehaviourCase{
            "TwoProtectBits", {"--simulate", "--sim-flash=C22012"}, 0, "", "", "Verifying Success"},
        BehaviourCase{"FourProtectBits",
                      {"--simulate", "--sim-flash=C22015"},
                      0,
                      "",
                      "",
                      "Verifying Success"},
        BehaviourCase{"StatusRegisterIgnoresWrites",
                      {"--simulate", "--sim-fault=status-locked"},
                      0,
                      "protect",
                      "finding",
                      "the status register reads 0x00 after 0xFF was written; the EF4015 flash "
                      "sets its protect bits 0x1C"},
        BehaviourCase{"InterfaceRegisteredTwice",
                      {"--simulate", "--sim-fault=duplicate-interface"},
                      0,
                      "",
                      "",
                      "Verifying Success"},
        BehaviourCase{"PresenceTestFails",
                      {"--simulate", "--sim-fault=presence-fails"},
                      0,
                      "",
                      "",
                      "Verifying Success"},
        BehaviourCase{"BareChipRestartsOnLeavingIsp",
                      {"--simulate=isp-a7d6", "--sim-fault=restart-on-isp-exit"},
                      0,
                      "",
                      "",
                      "The device restarted on leaving ISP mode"},
        BehaviourCase{"ByteReadsBackWrong",
                      {"--simulate", "--sim-fault=flip:10"},
                      1,
                      "",
                      "",
                      "blank check: the flash is not blank"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv

// The step runner: each step is judged by what its own work returned, whatever the link kept
// from earlier steps.

#include "flash/FlashSteps.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

// A flash command on a link that is not open: it fails with the link's own reason.
bool CommandWithoutHandle(QuorvexUsb& usb) {
    FlashReadStatus(usb);
    return usb.LastFailure().ok();
}

struct StepCase {
    const char* name;
    StepRole role;
    std::function<StepOutcome(QuorvexUsb&)> work;
    bool done;
    std::optional<StepReason> failure;  // reported as failed
    std::optional<StepReason> warning;  // reported as a warning
};

const StepReason kNotOpen =
    StepReason::DeviceFailure(DeviceResult::Failure(FailureKind::kOther, "the device is not open"));
const StepReason kDiffers = StepReason::Finding("the flash differs from the image");

class StepRunnerTest : public FlashFixture, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepRunnerTest, ReportsTheStepByWhatItsWorkReturned) {
    const StepCase& c = GetParam();
    usb.Close();
    CommandWithoutHandle(usb);  // a failure left over from before the step
    StepRunner steps(usb, reporter);

    EXPECT_EQ(steps.Run({FlashStep::kVerify, c.role}, [&] { return c.work(usb); }), c.done);

    using Reports = std::vector<std::pair<FlashStep, StepReason>>;
    const auto reports = [](const std::optional<StepReason>& reason) {
        return reason ? Reports{{FlashStep::kVerify, *reason}} : Reports{};
    };
    EXPECT_EQ(reporter.failures, reports(c.failure));
    EXPECT_EQ(reporter.warnings, reports(c.warning));
    EXPECT_EQ(steps.AnyFailed(), c.failure.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, StepRunnerTest,
    ::testing::Values(
        StepCase{"Done",
                 StepRole::kDecides,
                 [](QuorvexUsb&) { return StepOutcome::Done(); },
                 true,
                 {},
                 {}},
        StepCase{"StoppedIsNoFailure",
                 StepRole::kDecides,
                 [](QuorvexUsb&) { return StepOutcome::Stopped(); },
                 false,
                 {},
                 {}},
        StepCase{"FindingNotAnEarlierFailure",
                 StepRole::kDecides,
                 [](QuorvexUsb& usb) { return Judged(usb, FlashStep::kVerify, false); },
                 false,
                 kDiffers,
                 {}},
        StepCase{"OwnFailedCommand",
                 StepRole::kDecides,
                 [](QuorvexUsb& usb) {
                     return Judged(usb, FlashStep::kVerify, CommandWithoutHandle(usb));
                 },
                 false,
                 kNotOpen,
                 {}},
        StepCase{"WarningDecidesNothing",
                 StepRole::kWarns,
                 [](QuorvexUsb& usb) { return Judged(usb, FlashStep::kVerify, false); },
                 false,
                 {},
                 kDiffers}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv

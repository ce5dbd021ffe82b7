#pragma once
// What a step is called, and why it failed when its work did not succeed.

#include "flash/FlashReporter.h"
#include "usb/QuorvexUsb.h"

namespace qv {

// What a step is called in a message, e.g. "enter ISP mode".
const char* FlashStepName(FlashStep step);

// Why `step` did not succeed: the link's latest failure since the step began, otherwise what
// the step found wrong in the device's answers.
StepReason WhyStepFailed(const QuorvexUsb& usb, FlashStep step);

}  // namespace qv

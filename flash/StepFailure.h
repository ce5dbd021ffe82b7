#pragma once
// Failed steps reported with their reason, and opening the link as a step of its own.

#include "flash/FlashContext.h"

namespace qv {

// What a step is called in a message, e.g. "enter ISP mode".
const char* FlashStepName(FlashStep step);

// Starts a step: the link forgets failures of earlier steps.
void BeginStep(FlashContext& context);

// Why `step` did not succeed: the link's latest failure since the step began, otherwise what
// the step found wrong in the device's answers.
StepReason ReasonSinceStepBegan(const FlashContext& context, FlashStep step);

// Reports `step` as failed, with ReasonSinceStepBegan.
void ReportStepFailure(FlashContext& context, FlashStep step);

// Opens the link; when it cannot be opened, reports (kOpen, why) and returns false.
bool OpenLink(FlashContext& context);

}  // namespace qv

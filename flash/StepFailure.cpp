#include "flash/StepFailure.h"

namespace qv {
namespace {

struct StepTexts {
    const char* name;
    const char* finding;  // why the step failed when every device call went through
};

StepTexts TextsOf(FlashStep step) {
    switch (step) {
        case FlashStep::kOpen:
            return {"open the device", "the device could not be opened"};
        case FlashStep::kEnterIsp:
            return {"enter ISP mode", "the chip did not take the request"};
        case FlashStep::kLeaveIsp:
            return {"leave ISP mode", "the chip did not take the request"};
        case FlashStep::kReadId:
            return {"read the flash id", "the id could not be read"};
        case FlashStep::kFitToFlash:
            return {"fit the image to the flash", "the image does not fit in the flash"};
        case FlashStep::kReadStatus:
            return {"read the status register", "the status could not be read"};
        case FlashStep::kWriteStatus:
            return {"write the status register", "the chip did not take the request"};
        case FlashStep::kWriteEnable:
            return {"send write enable", "the chip did not take the request"};
        case FlashStep::kWriteDisable:
            return {"send write disable", "the chip did not take the request"};
        case FlashStep::kErase:
            return {"erase", "the flash did not finish erasing"};
        case FlashStep::kBlankCheck:
            return {"blank check", "the flash is not blank"};
        case FlashStep::kProgram:
            return {"program", "the flash did not take the data"};
        case FlashStep::kVerify:
            return {"verify", "the flash differs from the image"};
        case FlashStep::kProtect:
            return {"protect", "the flash was not protected"};
        case FlashStep::kReadBack:
            return {"read back", "the flash did not read back the same twice"};
    }
    return {"flash step", "the step failed"};
}

}  // namespace

const char* FlashStepName(FlashStep step) {
    return TextsOf(step).name;
}

StepReason WhyStepFailed(const QuorvexUsb& usb, FlashStep step) {
    const DeviceResult& failure = usb.LastFailure();
    if (!failure.ok()) return StepReason::DeviceFailure(failure);
    return StepReason::Finding(TextsOf(step).finding);
}

}  // namespace qv

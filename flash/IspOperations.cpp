#include "flash/IspOperations.h"

#include "chip/Registers.h"
#include "flash/ProgramRange.h"
#include "flash/RangeChecks.h"

namespace qv {
namespace {

// Bank 13 register 1 := 3 switches the SPI port to the flash before the ISP request.
constexpr std::uint16_t kRegPortMode = 1;
constexpr std::uint8_t kPortModeFlash = 3;

// Opens the link around `work`; without a handle every command fails, and so does the work.
template <typename Work>
auto WithLink(FlashContext& context, Work work) {
    context.usb.Open();
    const auto result = work();
    context.usb.Close();
    return result;
}

// Runs a range worker over the image's flash range with the button's texts.
template <typename Worker>
bool RunRangeWorker(FlashContext& context, const char* startText, const char* successText,
                    Worker worker) {
    FlashReporter& reporter = context.reporter;
    reporter.ProcessInfo(startText);
    const std::optional<FlashRange> range = ImageRange(context);
    if (!range) {
        reporter.ProcessInfo("Image does not fit in the flash above 0x" +
                             Hex6(context.flashRangeStart));
        return false;
    }
    const bool ok = WithLink(context, [&] { return worker(context, range->start, range->end); });
    if (ok) reporter.ProcessInfo(successText);
    return ok;
}

}  // namespace

bool EnterOrLeaveIsp(FlashContext& context) {
    if (!context.usb.IsPresent()) return false;
    return WithLink(context, [&] {
        QuorvexUsb& usb = context.usb;
        if (context.ispModeActive) {
            const bool left = IspEnterMode(usb, false);
            if (left) context.ispModeActive = false;
            return left;
        }
        RegWrite(usb, kRegBankSelect, kBankFlashPort);
        RegWrite(usb, kRegPortMode, kPortModeFlash);
        const bool entered = IspEnterMode(usb, true);
        if (entered) context.ispModeActive = true;
        return entered;
    });
}

bool ReadChipId(FlashContext& context) {
    return WithLink(context, [&] { return FlashReadId(context.usb, context.flashIdBytes); });
}

std::string ChipIdCaption(const FlashId& id) {
    std::string caption;
    for (const std::uint8_t byte : id) caption += "0x" + Hex2(byte) + ",  ";
    return caption;
}

std::uint8_t ReadStatusRegister(FlashContext& context) {
    return WithLink(context, [&] { return FlashReadStatus(context.usb); });
}

std::string StatusCaption(std::uint8_t status) {
    return "0x" + Hex2(status);
}

bool WriteStatusRegister(FlashContext& context, std::uint8_t value) {
    return WithLink(context, [&] { return FlashWriteStatus(context.usb, value); });
}

bool SendWriteEnable(FlashContext& context) {
    return WithLink(context, [&] { return FlashWriteEnable(context.usb); });
}

bool SendWriteDisable(FlashContext& context) {
    return WithLink(context, [&] { return FlashWriteDisable(context.usb); });
}

bool BlankCheckFlash(FlashContext& context) {
    return RunRangeWorker(context, "Start Blanking Check", "Blanking Success", BlankCheckRange);
}

bool ProgramFlash(FlashContext& context) {
    return RunRangeWorker(context, "Start Programming...", "Programming Success", ProgramRange);
}

bool VerifyFlash(FlashContext& context) {
    return RunRangeWorker(context, "Start Verifying Check", "Verifying Success", VerifyRange);
}

bool ReadFlash(FlashContext& context, std::uint32_t end) {
    context.reporter.ProcessInfo("Read Flash data back");
    const bool ok = WithLink(context, [&] { return ReadBackRange(context, 0, end); });
    if (ok) context.reporter.ProcessInfo("Read Flash content Success");
    return ok;
}

}  // namespace qv

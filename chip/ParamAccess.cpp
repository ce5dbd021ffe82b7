// One transaction of the parameter mailbox in bank 0: data registers (writes only), selector,
// index, then the command register last, which starts the device's firmware.

#include "chip/Registers.h"

namespace qv {
namespace {

constexpr int kCompletionPolls = 20;
constexpr std::uint32_t kCompletionPollMs = 10;

bool IsReadSelector(std::uint8_t selector) {
    return (selector & 0x01) != 0;
}

// A device that never reports completion is not an error: the access carries on regardless.
// Returns whether it did report completion.
bool WaitCompletion(QuorvexUsb& usb, bool& transfersOk) {
    for (int i = 0; i < kCompletionPolls && !usb.StoppedAnswering(); ++i) {
        usb.Api().Sleep(kCompletionPollMs);
        std::uint8_t command = 0;
        if (!RegRead(usb, kRegParamCommand, command)) {
            transfersOk = false;
            continue;
        }
        if (command == kParamDone) return true;
    }
    return false;
}

}  // namespace

bool ParamAccess(QuorvexUsb& usb, std::uint8_t command, std::uint8_t selector, std::uint8_t index,
                 std::uint8_t count, std::uint8_t* data, bool* confirmed) {
    if (confirmed != nullptr) *confirmed = false;
    if (!usb.Open()) {
        usb.Close();
        return false;
    }
    bool ok = RegSelectBank(usb, kBankParameters);
    const bool read = IsReadSelector(selector);
    if (!read) {
        for (std::uint8_t i = 0; i < count; ++i) ok &= RegWrite(usb, kRegParamData + i, data[i]);
    }
    ok &= RegWrite(usb, kRegParamSelector, selector);
    ok &= RegWrite(usb, kRegParamIndex, index);
    ok &= RegWrite(usb, kRegParamCommand, command);
    const bool done = WaitCompletion(usb, ok);
    if (confirmed != nullptr) *confirmed = done;
    if (read) {
        for (std::uint8_t i = 0; i < count; ++i) ok &= RegRead(usb, kRegParamData + i, data[i]);
    } else {
        ok &= RegWrite(usb, kRegParamCommand, 0);
    }
    usb.Close();
    return ok;
}

}  // namespace qv

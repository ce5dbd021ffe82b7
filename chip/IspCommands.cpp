#include "chip/FlashCommands.h"
#include "chip/Registers.h"

namespace qv {
namespace {

// Bank 13 routes the chip's SPI port: register 7 := 0x10 and register 1 := 0x03 connect the
// flash, register 7 := 0x00 releases it.
constexpr std::uint16_t kRegPortRouting = 7;
constexpr std::uint16_t kRegPortMode = 1;
constexpr std::uint8_t kPortRoutingFlash = 0x10;
constexpr std::uint8_t kPortRoutingOff = 0x00;
constexpr std::uint8_t kPortModeFlash = 0x03;

}  // namespace

bool IspSelectFlashPort(QuorvexUsb& usb, bool enter) {
    RegSelectBank(usb, kBankFlashPort);
    if (enter) {
        RegWrite(usb, kRegPortRouting, kPortRoutingFlash);
        RegWrite(usb, kRegPortMode, kPortModeFlash);
    } else {
        RegWrite(usb, kRegPortRouting, kPortRoutingOff);
    }
    return true;
}

bool IspEnterMode(QuorvexUsb& usb, bool enter) {
    const VendorRequest request{{.requestType = kRequestTypeOut,
                                 .request = enter ? kRequestIspEnter : kRequestIspLeave,
                                 .value = enter ? kIspEnterValue : kIspLeaveValue,
                                 .index = enter ? kIspEnterIndex : kIspLeaveIndex},
                                nullptr};
    const bool ok = usb.ControlTransfer(request);
    // The port is routed (or released) even when the mode request failed.
    IspSelectFlashPort(usb, enter);
    return ok;
}

}  // namespace qv

#include "chip/Registers.h"

namespace qv {

bool RegRead(QuorvexUsb& usb, std::uint16_t reg, std::uint8_t& value) {
    // Read into a local byte so a failed transfer leaves the caller's value untouched.
    std::uint8_t received = 0;
    const VendorRequest request{{kRequestTypeIn, kRequestRegRead, 0, reg, 1}, &received};
    if (!usb.ControlTransfer(request)) return false;
    value = received;
    return true;
}

bool RegWrite(QuorvexUsb& usb, std::uint16_t reg, std::uint8_t value) {
    std::uint8_t sent = value;
    const VendorRequest request{{kRequestTypeOut, kRequestRegWrite, 0, reg, 1}, &sent};
    return usb.ControlTransfer(request);
}

bool RegSelectBank(QuorvexUsb& usb, std::uint8_t bank) {
    return RegWrite(usb, kRegBankSelect, bank);
}

}  // namespace qv

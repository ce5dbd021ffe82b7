#pragma once
// The live audio state the chip reports in bank 0 and the HID media key command, shared by the
// window's Information page and qvtool.

#include <array>
#include <cstdint>

#include "usb/QuorvexUsb.h"

namespace qv {

// Registers 0xA4 (rate code in bits 0-3), 0xA5 and 0xA6 (flags), in that order.
using StatusRegisters = std::array<std::uint8_t, 3>;

struct AudioStatus {
    bool connected;
    bool muted;
    int format;  // 0 PCM, 1 DSD
    int rateCode;
};

inline constexpr std::array<const char*, 2> kConnectTexts{"USB connected", "USB Disconnected"};
inline constexpr std::array<const char*, 2> kMuteTexts{"Playing", "Mute"};
inline constexpr std::array<const char*, 2> kFormatTexts{"PCM", "DSD"};

// Selects bank 0 and reads the three registers; the link must be open. `status` keeps the
// bytes of reads that failed.
bool ReadStatusRegisters(QuorvexUsb& usb, StatusRegisters& status);
AudioStatus DecodeAudioStatus(const StatusRegisters& status);
// The eight-character rate name, blanks for a code without a rate.
const char* RateName(int format, int rateCode);

// Key codes of the HID buttons: previous, volume down, play, volume up, next.
inline constexpr std::array<std::uint8_t, 5> kHidKeyCodes{0x40, 0x02, 0x10, 0x01, 0x20};

enum class HidKeyResult { Confirmed, Unconfirmed, TransferFailed };
// Sends one key press through the command register (link open); waits up to 100 ms for the
// chip's confirmation.
HidKeyResult SendHidKey(QuorvexUsb& usb, std::uint8_t keyCode);

}  // namespace qv

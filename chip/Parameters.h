#pragma once
// The product parameters the chip's firmware keeps in EEPROM, reached through ParamAccess:
// vendor and product id, the three product strings and the SystemSettings record. Shared by
// the window's Parameter page and qvtool. Each call opens and closes the link itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "usb/QuorvexUsb.h"

namespace qv {

inline constexpr std::size_t kParamIdSize = 4;
inline constexpr std::size_t kParamStringMaxLength = 31;
inline constexpr std::size_t kParamStringCount = 3;

using SettingsRecord = std::array<std::uint8_t, 4>;

// Each access's `confirmed` (when given) says whether the device's firmware reported every
// mailbox transaction done; without that the bytes may be stale or not stored.
// `text` holds at most 4 bytes; a shorter id is followed by zero bytes.
bool WriteProductId(QuorvexUsb& usb, bool vendor, std::span<const std::uint8_t> text,
                    bool* confirmed = nullptr);
// String n (0 to 2) as a block of count byte and at most 31 characters, sent in chunks of up to
// 8 bytes with a 50 ms pause after each; stops at the first chunk that fails.
bool WriteProductString(QuorvexUsb& usb, std::size_t n, std::span<const std::uint8_t> text,
                        bool* confirmed = nullptr);
bool WriteSystemSettings(QuorvexUsb& usb, SettingsRecord settings, bool* confirmed = nullptr);
// Nothing when the access failed, so no record mixed from old and new bytes is taken over.
std::optional<SettingsRecord> ReadSystemSettings(QuorvexUsb& usb, bool* confirmed = nullptr);

// SystemSettings bit by bit.
struct SettingsFields {
    bool eepromPresent;
    bool i2s32Bit;    // else 24 bit
    bool spdif32Bit;  // else 24 bit
    bool i2sSwap;
    bool dsdSwap;
    int mclkChoice;      // 0 to 3: 128, 256, 512, 1024 Fs
    bool leftJustified;  // else standard I2S
    bool nativeDsd;      // else DoP
    bool mclkOff;
    bool i2sOff;
    bool spdifOff;
};
SettingsFields DecodeSettings(const SettingsRecord& settings);
// `settings` with the fields set from `fields`; the EEPROM flag and the bits no field covers are
// kept as they are.
SettingsRecord EncodeSettings(const SettingsFields& fields, SettingsRecord settings);
inline constexpr std::array<int, 4> kMclkFs{128, 256, 512, 1024};

}  // namespace qv

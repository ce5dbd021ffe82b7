#include "chip/Parameters.h"

#include <algorithm>

#include "chip/Registers.h"

namespace qv {
namespace {

constexpr std::uint8_t kSelectorVendorId = 0x08;
constexpr std::uint8_t kSelectorProductId = 0x0A;
constexpr std::array<std::uint8_t, kParamStringCount> kSelectorStrings{0x10, 0x14, 0x18};
constexpr std::uint8_t kSelectorSettingsWrite = 0x20;
constexpr std::uint8_t kSelectorSettingsRead = 0x21;
constexpr std::size_t kChunkSize = 8;
constexpr std::uint32_t kChunkPauseMs = 50;

}  // namespace

bool WriteProductId(QuorvexUsb& usb, bool vendor, std::span<const std::uint8_t> text,
                    bool* confirmed) {
    if (text.size() > kParamIdSize) return false;
    std::array<std::uint8_t, kParamIdSize> id{};
    std::copy(text.begin(), text.end(), id.begin());
    return ParamAccess(usb, kParamCommand, vendor ? kSelectorVendorId : kSelectorProductId, 0,
                       kParamIdSize, id.data(), confirmed);
}

bool WriteProductString(QuorvexUsb& usb, std::size_t n, std::span<const std::uint8_t> text,
                        bool* confirmed) {
    if (confirmed != nullptr) *confirmed = false;
    if (n >= kParamStringCount || text.size() > kParamStringMaxLength) return false;
    std::array<std::uint8_t, kParamStringMaxLength + 1> block{};
    block[0] = static_cast<std::uint8_t>(text.size());
    std::copy(text.begin(), text.end(), block.begin() + 1);

    const std::size_t total = text.size() + 1;
    bool allConfirmed = true;
    for (std::size_t start = 0; start < total; start += kChunkSize) {
        bool chunkConfirmed = false;
        const std::size_t count = std::min(kChunkSize, total - start);
        // A chunk after a failed one would pair its bytes with the old count byte.
        if (!ParamAccess(usb, kParamCommand, kSelectorStrings[n],
                         static_cast<std::uint8_t>(start / kChunkSize),
                         static_cast<std::uint8_t>(count), block.data() + start, &chunkConfirmed)) {
            return false;
        }
        allConfirmed &= chunkConfirmed;
        usb.Api().Sleep(kChunkPauseMs);
    }
    if (confirmed != nullptr) *confirmed = allConfirmed;
    return true;
}

bool WriteSystemSettings(QuorvexUsb& usb, SettingsRecord settings, bool* confirmed) {
    return ParamAccess(usb, kParamCommand, kSelectorSettingsWrite, 0, settings.size(),
                       settings.data(), confirmed);
}

std::optional<SettingsRecord> ReadSystemSettings(QuorvexUsb& usb, bool* confirmed) {
    SettingsRecord record{};
    if (!ParamAccess(usb, kParamCommand, kSelectorSettingsRead, 0, record.size(), record.data(),
                     confirmed)) {
        return std::nullopt;
    }
    return record;
}

SettingsFields DecodeSettings(const SettingsRecord& settings) {
    const std::uint8_t output = settings[0];
    const std::uint8_t switches = settings[1];
    return {.eepromPresent = (settings[3] & 0x80) != 0,
            .i2s32Bit = (output & 0x01) != 0,
            .spdif32Bit = (output & 0x02) != 0,
            .i2sSwap = (output & 0x04) != 0,
            .dsdSwap = (output & 0x08) != 0,
            .mclkChoice = (output >> 4) & 0x03,
            .leftJustified = (output & 0x40) != 0,
            .nativeDsd = (output & 0x80) != 0,
            .mclkOff = (switches & 0x80) != 0,
            .i2sOff = (switches & 0x40) != 0,
            .spdifOff = (switches & 0x20) != 0};
}

SettingsRecord EncodeSettings(const SettingsFields& fields, SettingsRecord settings) {
    const auto bit = [](bool on, int n) { return static_cast<std::uint8_t>(on ? 1u << n : 0u); };
    settings[0] = static_cast<std::uint8_t>(
        bit(fields.i2s32Bit, 0) | bit(fields.spdif32Bit, 1) | bit(fields.i2sSwap, 2) |
        bit(fields.dsdSwap, 3) | ((fields.mclkChoice & 0x03) << 4) | bit(fields.leftJustified, 6) |
        bit(fields.nativeDsd, 7));
    settings[1] = static_cast<std::uint8_t>((settings[1] & 0x1F) | bit(fields.mclkOff, 7) |
                                            bit(fields.i2sOff, 6) | bit(fields.spdifOff, 5));
    return settings;
}

}  // namespace qv

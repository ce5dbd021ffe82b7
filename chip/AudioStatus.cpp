#include "chip/AudioStatus.h"

#include "chip/Registers.h"

namespace qv {
namespace {

constexpr std::uint16_t kRegStatusFirst = 0xA4;
constexpr std::uint8_t kFlagConnected = 0x01;
constexpr std::uint8_t kFlagDsd = 0x02;
constexpr std::uint8_t kFlagMuted = 0x04;

// PCM row then DSD row, by 4-bit rate code.
constexpr const char* kBlankRate = "        ";
constexpr std::array<std::array<const char*, 16>, 2> kRateNames{{
    {" 44.1KHz", "   48KHz", " 88.2KHz", "   96KHz", "176.4KHz", "  192KHz", "352.8KHz", "  384KHz",
     "705.6KHz", "  768KHz", kBlankRate, kBlankRate, kBlankRate, kBlankRate, kBlankRate,
     kBlankRate},
    {" DoP  64", " DoP 128", " DoP 256", " DoP 512", kBlankRate, kBlankRate, kBlankRate, kBlankRate,
     " DSD  64", " DSD 128", " DSD 256", " DSD 512", kBlankRate, kBlankRate, kBlankRate,
     kBlankRate},
}};

// The key command shares the parameter mailbox's command and selector registers.
constexpr std::uint8_t kHidCommand = 0x30;
constexpr std::uint8_t kHidDone = 0x31;
constexpr int kHidPolls = 10;
constexpr std::uint32_t kHidPollMs = 10;

}  // namespace

bool ReadStatusRegisters(QuorvexUsb& usb, StatusRegisters& status) {
    bool read = RegSelectBank(usb, kBankParameters);
    for (std::uint16_t i = 0; i < status.size(); ++i) {
        read = RegRead(usb, kRegStatusFirst + i, status[i]) && read;
    }
    return read;
}

AudioStatus DecodeAudioStatus(const StatusRegisters& status) {
    const std::uint8_t flags = status[2];
    return {.connected = (flags & kFlagConnected) != 0,
            .muted = (flags & kFlagMuted) != 0,
            .format = (flags & kFlagDsd) != 0 ? 1 : 0,
            .rateCode = status[0] & 0x0F};
}

const char* RateName(int format, int rateCode) {
    return kRateNames.at(static_cast<std::size_t>(format)).at(static_cast<std::size_t>(rateCode));
}

HidKeyResult SendHidKey(QuorvexUsb& usb, std::uint8_t keyCode) {
    if (!RegSelectBank(usb, kBankParameters) || !RegWrite(usb, kRegParamSelector, keyCode) ||
        !RegWrite(usb, kRegParamCommand, kHidCommand)) {
        return HidKeyResult::TransferFailed;
    }
    bool transfersOk = true;
    for (int poll = 0; poll < kHidPolls; ++poll) {
        usb.Api().Sleep(kHidPollMs);
        std::uint8_t answer = 0;
        if (!RegRead(usb, kRegParamCommand, answer)) {
            transfersOk = false;
            continue;
        }
        if (answer == kHidDone) return HidKeyResult::Confirmed;
    }
    return transfersOk ? HidKeyResult::Unconfirmed : HidKeyResult::TransferFailed;
}

}  // namespace qv

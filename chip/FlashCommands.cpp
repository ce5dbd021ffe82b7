// Serial-flash instructions carried out by the chip on its SPI port: 0x80 clocks bytes out,
// 0x81 clocks the opcode and address out and reads into the chip's buffer, 0x82 fetches that
// buffer, 0x83 says whether the SPI transfer is over.

#include "chip/FlashCommands.h"

#include <algorithm>
#include <array>

namespace qv {
namespace {

constexpr std::uint16_t kEndOfTransaction = 1;
constexpr std::uint16_t kKeepSelected = 0;
constexpr std::uint8_t kMaxCommandBytes = 3;
constexpr std::uint16_t kMaxFetch = 255;
constexpr std::uint16_t kMaxProgram = 256;
constexpr int kReadBlockPolls = 100;
constexpr std::uint32_t kReadBlockPollMs = 1;
constexpr int kReadIdPolls = 100;
constexpr int kReadStatusPolls = 10;

using AddressedCommand = std::array<std::uint8_t, 4>;

AddressedCommand WithAddress(std::uint8_t opcode, std::uint32_t address) {
    return {opcode, static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

bool SendOut(QuorvexUsb& usb, std::uint8_t request, std::uint16_t value, std::uint16_t index,
             std::uint8_t* data, std::uint32_t length) {
    return usb.ControlTransfer(
        VendorRequest{{kRequestTypeOut, request, value, index, length}, data});
}

// Polls the port back to back; true at the first ready answer.
bool PollReady(QuorvexUsb& usb, int polls) {
    for (int i = 0; i < polls && !usb.StoppedAnswering(); ++i) {
        if (FlashPollReady(usb)) return true;
    }
    return false;
}

}  // namespace

bool FlashPollReady(QuorvexUsb& usb) {
    std::uint8_t ready = 0;
    const VendorRequest request{{kRequestTypeIn, kRequestFlashReady, 0, 0, 1}, &ready};
    return usb.ControlTransfer(request) && ready != 0;
}

bool FlashSendCommand(QuorvexUsb& usb, std::uint8_t opcode, std::uint8_t count,
                      const std::uint8_t* bytes) {
    if (count > kMaxCommandBytes || (count > 0 && bytes == nullptr)) return false;
    std::array<std::uint8_t, 1 + kMaxCommandBytes> message{opcode};
    if (count > 0) std::copy_n(bytes, count, message.begin() + 1);
    return SendOut(usb, kRequestFlashWrite, 0, kEndOfTransaction, message.data(), count + 1u);
}

bool FlashStartRead(QuorvexUsb& usb, std::uint8_t opcode, std::uint8_t count) {
    std::uint8_t message = opcode;
    return SendOut(usb, kRequestFlashReadStart, count, kEndOfTransaction, &message, 1);
}

bool FlashFetchData(QuorvexUsb& usb, std::uint8_t count, std::uint8_t* buffer) {
    const VendorRequest request{{kRequestTypeIn, kRequestFlashFetch, 0, 0, count}, buffer};
    return usb.ControlTransfer(request);
}

bool FlashReadBlock(QuorvexUsb& usb, std::uint32_t address, std::uint16_t count,
                    std::uint8_t* buffer) {
    // The fetch length is one byte wide: a larger count would be cut short, so refuse it.
    if (count > kMaxFetch || (count > 0 && buffer == nullptr)) return false;
    AddressedCommand message = WithAddress(kFlashOpRead, address);
    if (!SendOut(usb, kRequestFlashReadStart, count, kEndOfTransaction, message.data(),
                 message.size())) {
        return false;
    }
    bool ready = false;
    for (int i = 0; i < kReadBlockPolls && !ready && !usb.StoppedAnswering(); ++i) {
        ready = FlashPollReady(usb);
        if (!ready) usb.Api().Sleep(kReadBlockPollMs);
    }
    if (!ready) return false;
    return FlashFetchData(usb, static_cast<std::uint8_t>(count), buffer);
}

bool FlashProgramBlock(QuorvexUsb& usb, std::uint32_t address, std::uint16_t count,
                       const std::uint8_t* data) {
    if (count == 0 || count > kMaxProgram || data == nullptr) return false;
    // Opcode and address keep the chip select; the data that follow end the transaction.
    AddressedCommand header = WithAddress(kFlashOpPageProgram, address);
    if (!SendOut(usb, kRequestFlashWrite, 0, kKeepSelected, header.data(), header.size())) {
        return false;
    }
    std::array<std::uint8_t, kMaxProgram> block{};
    std::copy_n(data, count, block.begin());
    return SendOut(usb, kRequestFlashWrite, 0, kEndOfTransaction, block.data(), count);
}

// A read whose start failed fetches whatever the port's buffer held before: the requests go
// out as always, but what comes back is not taken as the answer.
bool FlashReadId(QuorvexUsb& usb, FlashId& flashIdBytes) {
    const bool started =
        FlashStartRead(usb, kFlashOpReadId, static_cast<std::uint8_t>(flashIdBytes.size()));
    if (!PollReady(usb, kReadIdPolls)) return false;
    FlashId received{};
    if (!FlashFetchData(usb, static_cast<std::uint8_t>(received.size()), received.data()) ||
        !started) {
        return false;
    }
    flashIdBytes = received;
    return true;
}

bool FlashWriteStatus(QuorvexUsb& usb, std::uint8_t value) {
    return FlashSendCommand(usb, kFlashOpWriteStatus, 1, &value);
}

std::uint8_t FlashReadStatus(QuorvexUsb& usb) {
    constexpr std::uint8_t kUnread = 0xFF;
    const bool started = FlashStartRead(usb, kFlashOpReadStatus, 1);
    if (!PollReady(usb, kReadStatusPolls)) return kUnread;
    std::uint8_t status = kUnread;
    if (!FlashFetchData(usb, 1, &status) || !started) return kUnread;
    return status;
}

bool FlashWriteEnable(QuorvexUsb& usb) {
    return FlashSendCommand(usb, kFlashOpWriteEnable);
}

bool FlashWriteDisable(QuorvexUsb& usb) {
    return FlashSendCommand(usb, kFlashOpWriteDisable);
}

bool FlashEraseAll(QuorvexUsb& usb) {
    return FlashSendCommand(usb, kFlashOpChipErase);
}

bool FlashEraseSector(QuorvexUsb& usb, std::uint32_t address) {
    const AddressedCommand message = WithAddress(kFlashOpSectorErase, address);
    return FlashSendCommand(usb, message[0], 3, message.data() + 1);
}

}  // namespace qv

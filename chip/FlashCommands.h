#pragma once
// ISP mode and serial-flash instructions, carried out by the chip on its SPI port. None of
// these opens or closes the link, and none waits for an erase or program inside the flash.

#include <cstdint>

#include "catalog/FlashParts.h"
#include "usb/QuorvexUsb.h"

namespace qv {

inline constexpr std::uint8_t kRequestFlashWrite = 0x80;
inline constexpr std::uint8_t kRequestFlashReadStart = 0x81;
inline constexpr std::uint8_t kRequestFlashFetch = 0x82;
inline constexpr std::uint8_t kRequestFlashReady = 0x83;
inline constexpr std::uint8_t kRequestIspEnter = 0x84;
inline constexpr std::uint8_t kRequestIspLeave = 0x85;
inline constexpr std::uint16_t kIspEnterValue = 0x6B2E;
inline constexpr std::uint16_t kIspEnterIndex = 0x1C94;
inline constexpr std::uint16_t kIspLeaveValue = 0x47A9;
inline constexpr std::uint16_t kIspLeaveIndex = 0x3D51;

// JEDEC serial-flash opcodes.
inline constexpr std::uint8_t kFlashOpWriteStatus = 0x01;
inline constexpr std::uint8_t kFlashOpPageProgram = 0x02;
inline constexpr std::uint8_t kFlashOpRead = 0x03;
inline constexpr std::uint8_t kFlashOpWriteDisable = 0x04;
inline constexpr std::uint8_t kFlashOpReadStatus = 0x05;
inline constexpr std::uint8_t kFlashOpWriteEnable = 0x06;
inline constexpr std::uint8_t kFlashOpSectorErase = 0x20;
inline constexpr std::uint8_t kFlashOpReadId = 0x9F;
inline constexpr std::uint8_t kFlashOpChipErase = 0xC7;
inline constexpr std::uint8_t kFlashStatusBusy = 0x01;

bool IspSelectFlashPort(QuorvexUsb& usb, bool enter);
bool IspEnterMode(QuorvexUsb& usb, bool enter);
bool FlashPollReady(QuorvexUsb& usb);
bool FlashSendCommand(QuorvexUsb& usb, std::uint8_t opcode, std::uint8_t count = 0,
                      const std::uint8_t* bytes = nullptr);
bool FlashStartRead(QuorvexUsb& usb, std::uint8_t opcode, std::uint8_t count);
bool FlashFetchData(QuorvexUsb& usb, std::uint8_t count, std::uint8_t* buffer);
// count is at most 255; larger counts are refused, not truncated.
bool FlashReadBlock(QuorvexUsb& usb, std::uint32_t address, std::uint16_t count,
                    std::uint8_t* buffer);
// count is 1 to 256.
bool FlashProgramBlock(QuorvexUsb& usb, std::uint32_t address, std::uint16_t count,
                       const std::uint8_t* data);
// Fills `flashIdBytes` only from a fetch that succeeded.
bool FlashReadId(QuorvexUsb& usb, FlashId& flashIdBytes);
bool FlashWriteStatus(QuorvexUsb& usb, std::uint8_t value);
// The status byte, 0xFF when the read fails.
std::uint8_t FlashReadStatus(QuorvexUsb& usb);
bool FlashWriteEnable(QuorvexUsb& usb);
bool FlashWriteDisable(QuorvexUsb& usb);
bool FlashEraseAll(QuorvexUsb& usb);
bool FlashEraseSector(QuorvexUsb& usb, std::uint32_t address);

}  // namespace qv

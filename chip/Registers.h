#pragma once
// Register access of the bridge chip, its I2C master (bank 14) and its parameter mailbox
// (bank 0). Every command acts on the link it is given; only ParamAccess opens and closes it.

#include <cstdint>

#include "usb/QuorvexUsb.h"

namespace qv {

inline constexpr std::uint8_t kRequestRegWrite = 0x90;
inline constexpr std::uint8_t kRequestRegRead = 0x91;
inline constexpr std::uint16_t kRegBankSelect = 0;
inline constexpr std::uint8_t kBankParameters = 0;
inline constexpr std::uint8_t kBankFlashPort = 13;
inline constexpr std::uint8_t kBankI2cMaster = 14;

// I2C master registers of bank 14.
inline constexpr std::uint16_t kRegI2cControl = 0x10;  // write: control; read: status
inline constexpr std::uint16_t kRegI2cEnable = 0x11;
inline constexpr std::uint16_t kRegI2cTxData = 0x12;
inline constexpr std::uint16_t kRegI2cRxData = 0x13;
inline constexpr std::uint16_t kRegI2cOperation = 0x14;
inline constexpr std::uint8_t kI2cStatusDone = 0x01;
inline constexpr std::uint8_t kI2cStatusNack = 0x08;
inline constexpr std::uint8_t kI2cControlStart = 0xC0;
inline constexpr std::uint8_t kI2cControlStop = 0xA0;
inline constexpr std::uint8_t kI2cControlReceiveAck = 0x80;
inline constexpr std::uint8_t kI2cControlReceiveLast = 0x90;
inline constexpr std::uint8_t kI2cOperationTransmit = 1;
inline constexpr std::uint8_t kI2cOperationReceive = 3;
inline constexpr std::uint8_t kI2cEnableValue = 4;

// Parameter mailbox registers of bank 0.
inline constexpr std::uint16_t kRegParamCommand = 0x90;
inline constexpr std::uint16_t kRegParamSelector = 0x91;
inline constexpr std::uint16_t kRegParamIndex = 0x92;
inline constexpr std::uint16_t kRegParamData = 0x93;
inline constexpr std::uint8_t kParamDone = 0xEE;
inline constexpr std::uint8_t kParamCommand = 0x10;

// `value` is written only by a read that succeeded.
bool RegRead(QuorvexUsb& usb, std::uint16_t reg, std::uint8_t& value);
bool RegWrite(QuorvexUsb& usb, std::uint16_t reg, std::uint8_t value);
bool RegSelectBank(QuorvexUsb& usb, std::uint8_t bank);

void I2cMasterEnable(QuorvexUsb& usb);
void I2cStart(QuorvexUsb& usb);
void I2cStop(QuorvexUsb& usb);
// A failed status read counts as "not done" and "not acknowledged".
bool I2cIsDone(QuorvexUsb& usb);
bool I2cIsAcked(QuorvexUsb& usb);
// True when the slave acknowledged the byte.
bool I2cSendByte(QuorvexUsb& usb, std::uint8_t byte);
// True when the received byte was read; `byte` is left alone when that read failed.
bool I2cReceiveByte(QuorvexUsb& usb, bool last, std::uint8_t& byte);
// The transactions fail when the address is not acknowledged within 10 attempts; reads also
// fail when a data byte could not be read. Acknowledges of register and data bytes are ignored.
bool I2cWrite(QuorvexUsb& usb, std::uint8_t address, std::uint8_t reg, std::uint8_t count,
              const std::uint8_t* data);
bool I2cRead(QuorvexUsb& usb, std::uint8_t address, std::uint8_t reg, std::uint8_t count,
             std::uint8_t* buffer);
bool I2cWriteCommand(QuorvexUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                     const std::uint8_t* command, std::uint8_t dataCount, const std::uint8_t* data);
bool I2cReadCommand(QuorvexUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                    const std::uint8_t* command, std::uint8_t dataCount, std::uint8_t* buffer);

// Opens the link, runs one mailbox transaction, closes the link. False when the link did not
// open or a register transfer failed; a device that never reports completion is not an error,
// but `confirmed` (when given) says whether it did.
bool ParamAccess(QuorvexUsb& usb, std::uint8_t command, std::uint8_t selector, std::uint8_t index,
                 std::uint8_t count, std::uint8_t* data, bool* confirmed = nullptr);

}  // namespace qv

// The chip's I2C master is driven from the host one bus byte at a time; only an address that
// is never acknowledged counts as a failed transaction.

#include "chip/Registers.h"

namespace qv {
namespace {

constexpr int kDonePolls = 20;
constexpr int kAddressAttempts = 10;

// The completion bit is polled back to back; a byte that never shows it is taken as finished.
void WaitDone(QuorvexUsb& usb) {
    for (int i = 0; i < kDonePolls && !usb.StoppedAnswering(); ++i) {
        if (I2cIsDone(usb)) return;
    }
}

bool AddressPhase(QuorvexUsb& usb, std::uint8_t address) {
    for (int attempt = 0; attempt < kAddressAttempts && !usb.StoppedAnswering(); ++attempt) {
        I2cStart(usb);
        if (I2cSendByte(usb, address)) return true;
    }
    return false;
}

void SendBytes(QuorvexUsb& usb, std::uint8_t count, const std::uint8_t* bytes) {
    for (std::uint8_t i = 0; i < count; ++i) I2cSendByte(usb, bytes[i]);
}

// Receives `count` bytes, the last without acknowledge; false when any data read failed, so
// the caller never passes off bytes that no transfer filled as a good read.
bool ReceiveBytes(QuorvexUsb& usb, std::uint8_t count, std::uint8_t* buffer) {
    bool allRead = true;
    for (std::uint8_t i = 0; i < count; ++i) {
        if (!I2cReceiveByte(usb, i + 1 == count, buffer[i])) allRead = false;
    }
    return allRead;
}

bool WriteTransaction(QuorvexUsb& usb, std::uint8_t address, std::uint8_t firstCount,
                      const std::uint8_t* first, std::uint8_t secondCount,
                      const std::uint8_t* second) {
    if (!AddressPhase(usb, address)) {
        I2cStop(usb);
        return false;
    }
    SendBytes(usb, firstCount, first);
    SendBytes(usb, secondCount, second);
    I2cStop(usb);
    return true;
}

bool ReadTransaction(QuorvexUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                     const std::uint8_t* command, std::uint8_t count, std::uint8_t* buffer) {
    if (!AddressPhase(usb, address)) {
        I2cStop(usb);
        return false;
    }
    SendBytes(usb, commandCount, command);
    if (!AddressPhase(usb, address | 0x01)) {
        I2cStop(usb);
        return false;
    }
    const bool received = ReceiveBytes(usb, count, buffer);
    I2cStop(usb);
    return received;
}

}  // namespace

void I2cMasterEnable(QuorvexUsb& usb) {
    RegSelectBank(usb, kBankI2cMaster);
    RegWrite(usb, kRegI2cEnable, kI2cEnableValue);
}

void I2cStart(QuorvexUsb& usb) {
    RegWrite(usb, kRegI2cControl, kI2cControlStart);
}

void I2cStop(QuorvexUsb& usb) {
    RegWrite(usb, kRegI2cControl, kI2cControlStop);
}

// A failed status read counts as "not done" and "not acknowledged".
bool I2cIsDone(QuorvexUsb& usb) {
    std::uint8_t status = 0;
    return RegRead(usb, kRegI2cControl, status) && (status & kI2cStatusDone) != 0;
}

bool I2cIsAcked(QuorvexUsb& usb) {
    std::uint8_t status = 0;
    return RegRead(usb, kRegI2cControl, status) && (status & kI2cStatusNack) == 0;
}

bool I2cSendByte(QuorvexUsb& usb, std::uint8_t byte) {
    RegWrite(usb, kRegI2cOperation, kI2cOperationTransmit);
    RegWrite(usb, kRegI2cTxData, byte);
    WaitDone(usb);
    return I2cIsAcked(usb);
}

bool I2cReceiveByte(QuorvexUsb& usb, bool last, std::uint8_t& byte) {
    RegWrite(usb, kRegI2cControl, last ? kI2cControlReceiveLast : kI2cControlReceiveAck);
    RegWrite(usb, kRegI2cOperation, kI2cOperationReceive);
    WaitDone(usb);
    return RegRead(usb, kRegI2cRxData, byte);
}

bool I2cWrite(QuorvexUsb& usb, std::uint8_t address, std::uint8_t reg, std::uint8_t count,
              const std::uint8_t* data) {
    return WriteTransaction(usb, address, 1, &reg, count, data);
}

bool I2cRead(QuorvexUsb& usb, std::uint8_t address, std::uint8_t reg, std::uint8_t count,
             std::uint8_t* buffer) {
    return ReadTransaction(usb, address, 1, &reg, count, buffer);
}

bool I2cWriteCommand(QuorvexUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                     const std::uint8_t* command, std::uint8_t dataCount,
                     const std::uint8_t* data) {
    return WriteTransaction(usb, address, commandCount, command, dataCount, data);
}

bool I2cReadCommand(QuorvexUsb& usb, std::uint8_t address, std::uint8_t commandCount,
                    const std::uint8_t* command, std::uint8_t dataCount, std::uint8_t* buffer) {
    return ReadTransaction(usb, address, commandCount, command, dataCount, buffer);
}

}  // namespace qv

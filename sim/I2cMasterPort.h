#pragma once
// The chip's I2C master as registers 16 to 20 of bank 14. Byte operations finish within the
// register write that starts them, so the status shows "done" at the first poll.

#include <cstdint>

#include "sim/I2cBus.h"

namespace qv::sim {

class I2cMasterPort {
  public:
    static constexpr std::uint8_t kRegControl = 16;  // write: control; read: status
    static constexpr std::uint8_t kRegEnable = 17;
    static constexpr std::uint8_t kRegTxData = 18;
    static constexpr std::uint8_t kRegRxData = 19;
    static constexpr std::uint8_t kRegOperation = 20;

    explicit I2cMasterPort(I2cBus& bus) : bus_(bus) {}

    static bool Owns(std::uint8_t reg) { return reg >= kRegControl && reg <= kRegOperation; }
    void Write(std::uint8_t reg, std::uint8_t value);
    std::uint8_t Read(std::uint8_t reg) const;

  private:
    static constexpr std::uint8_t kEnableBit = 0x04;
    static constexpr std::uint8_t kStatusDone = 0x01;
    static constexpr std::uint8_t kStatusNack = 0x08;

    bool Enabled() const { return (enable_ & kEnableBit) != 0; }

    I2cBus& bus_;
    std::uint8_t control_ = 0;
    std::uint8_t enable_ = 0;
    std::uint8_t txData_ = 0;
    std::uint8_t rxData_ = 0;
    std::uint8_t operation_ = 0;
    // Until a byte has gone out nothing has been acknowledged.
    std::uint8_t status_ = kStatusNack;
};

}  // namespace qv::sim

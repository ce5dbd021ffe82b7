#pragma once
// The chip's I2C master as registers 16 to 20 of bank 14. A byte operation takes nine bit times
// of the bus clock in device time: until then the status shows neither "done" nor an
// acknowledge, and a received byte is not yet in register 19. Each byte needs its own
// operation: writing 1 (transmit) to register 20 arms the next write of register 18, writing 3
// (receive) starts one reception, and the operation is used up by the byte it starts.

#include <cstdint>

#include "sim/Clock.h"
#include "sim/I2cBus.h"

namespace qv::sim {

class I2cMasterPort {
  public:
    static constexpr std::uint8_t kRegControl = 16;  // write: control; read: status
    static constexpr std::uint8_t kRegEnable = 17;
    static constexpr std::uint8_t kRegTxData = 18;
    static constexpr std::uint8_t kRegRxData = 19;
    static constexpr std::uint8_t kRegOperation = 20;
    static constexpr std::uint32_t kDefaultClockHz = 100'000;

    I2cMasterPort(I2cBus& bus, Clock& clock) : bus_(bus), clock_(clock) {}

    static bool Owns(std::uint8_t reg) { return reg >= kRegControl && reg <= kRegOperation; }
    void Write(std::uint8_t reg, std::uint8_t value);
    std::uint8_t Read(std::uint8_t reg) const;

    void SetClockHz(std::uint32_t hz) { clockHz_ = hz; }
    std::uint8_t EnableValue() const { return enable_; }
    void SetEnableValue(std::uint8_t value) { enable_ = value; }

  private:
    static constexpr std::uint8_t kEnableBit = 0x04;
    static constexpr std::uint8_t kStatusDone = 0x01;
    static constexpr std::uint8_t kStatusNack = 0x08;

    bool Enabled() const { return (enable_ & kEnableBit) != 0; }
    bool ByteRunning() const { return clock_.NowMicros() < byteEnd_; }
    void StartByte();

    I2cBus& bus_;
    Clock& clock_;
    std::uint32_t clockHz_ = kDefaultClockHz;
    std::uint8_t control_ = 0;
    std::uint8_t enable_ = 0;
    std::uint8_t txData_ = 0;
    std::uint8_t operation_ = 0;
    std::uint64_t byteEnd_ = 0;
    bool done_ = false;
    bool acked_ = false;  // until a byte has gone out nothing has been acknowledged
    std::uint8_t rxData_ = 0;
    std::uint8_t rxIncoming_ = 0;  // the byte being received, in register 19 once it is done
};

}  // namespace qv::sim

#pragma once
// A slave with 256 byte registers: the first byte written after its address sets the register
// pointer, every further byte written or read moves it on by one (wrapping at 0xFF).

#include <array>
#include <cstdint>

#include "sim/I2cBus.h"

namespace qv::sim {

class I2cRegisterSlave final : public I2cSlave {
  public:
    bool Select(bool read) override;
    bool Write(std::uint8_t byte) override;
    std::uint8_t Read() override;

    std::uint8_t Register(std::uint8_t reg) const { return registers_[reg]; }
    void SetRegister(std::uint8_t reg, std::uint8_t value) { registers_[reg] = value; }
    std::array<std::uint8_t, 256>& Registers() { return registers_; }

  private:
    std::array<std::uint8_t, 256> registers_{};
    std::uint8_t pointer_ = 0;
    bool expectPointer_ = false;
};

}  // namespace qv::sim

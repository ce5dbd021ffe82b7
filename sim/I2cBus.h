#pragma once
// An I2C bus as the chip's master drives it: start (or repeated start), an address byte in
// 8-bit form (bit 0 = read), data bytes each way, stop. Slaves hang on it by address.

#include <cstdint>
#include <map>
#include <memory>
#include <set>

namespace qv::sim {

class I2cSlave {
  public:
    virtual ~I2cSlave() = default;
    // Addressed after a start; returns whether the slave acknowledges.
    virtual bool Select(bool read) = 0;
    // A byte written by the master; returns whether the slave acknowledges it.
    virtual bool Write(std::uint8_t byte) = 0;
    // The slave's next byte for the master.
    virtual std::uint8_t Read() = 0;
    virtual void Stop() {}
};

class I2cBus {
  public:
    // `address` in 8-bit form; its direction bit is ignored.
    void Attach(std::uint8_t address, std::shared_ptr<I2cSlave> slave);
    void Detach(std::uint8_t address);
    // A silent slave acknowledges nothing, neither its address nor data.
    void SetSilent(std::uint8_t address, bool silent);

    void Start();
    void Stop();
    // The master transmits a byte; returns whether anyone acknowledged it.
    bool Transmit(std::uint8_t byte);
    // The master clocks in a byte and acknowledges it or not; a slave whose byte is not
    // acknowledged lets go of the bus. With nobody driving the bus the byte reads 0xFF.
    std::uint8_t Receive(bool acknowledge);

  private:
    enum class Phase { kIdle, kAddress, kWrite, kRead, kUnaddressed };

    static std::uint8_t Key(std::uint8_t address) { return address & 0xFE; }
    bool CurrentIsSilent() const { return silent_.count(current_) != 0; }

    std::map<std::uint8_t, std::shared_ptr<I2cSlave>> slaves_;
    std::set<std::uint8_t> silent_;
    Phase phase_ = Phase::kIdle;
    std::uint8_t current_ = 0;
};

}  // namespace qv::sim

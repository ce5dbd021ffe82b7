#include "sim/I2cBus.h"

namespace qv::sim {

void I2cBus::Attach(std::uint8_t address, std::shared_ptr<I2cSlave> slave) {
    slaves_[Key(address)] = std::move(slave);
}

void I2cBus::Detach(std::uint8_t address) {
    slaves_.erase(Key(address));
    if (current_ == Key(address)) phase_ = Phase::kUnaddressed;
}

void I2cBus::SetSilent(std::uint8_t address, bool silent) {
    if (silent) {
        silent_.insert(Key(address));
    } else {
        silent_.erase(Key(address));
    }
}

void I2cBus::Start() {
    phase_ = Phase::kAddress;
}

void I2cBus::Stop() {
    if (phase_ == Phase::kWrite || phase_ == Phase::kRead) slaves_.at(current_)->Stop();
    phase_ = Phase::kIdle;
}

bool I2cBus::Transmit(std::uint8_t byte) {
    switch (phase_) {
        case Phase::kAddress: {
            current_ = Key(byte);
            const auto slave = slaves_.find(current_);
            const bool read = (byte & 0x01) != 0;
            if (slave == slaves_.end() || CurrentIsSilent() || !slave->second->Select(read)) {
                phase_ = Phase::kUnaddressed;
                return false;
            }
            phase_ = read ? Phase::kRead : Phase::kWrite;
            return true;
        }
        case Phase::kWrite:
            return !CurrentIsSilent() && slaves_.at(current_)->Write(byte);
        default:
            // Outside a write nobody takes the byte.
            return false;
    }
}

std::uint8_t I2cBus::Receive(bool acknowledge) {
    if (phase_ != Phase::kRead) return 0xFF;
    const std::uint8_t byte = slaves_.at(current_)->Read();
    if (!acknowledge) {
        slaves_.at(current_)->Stop();
        phase_ = Phase::kUnaddressed;
    }
    return byte;
}

}  // namespace qv::sim

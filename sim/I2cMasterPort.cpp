#include "sim/I2cMasterPort.h"

namespace qv::sim {
namespace {

constexpr std::uint8_t kControlStart = 0xC0;
constexpr std::uint8_t kControlStop = 0xA0;
constexpr std::uint8_t kControlReceiveLast = 0x90;  // receive without acknowledge
constexpr std::uint8_t kOperationTransmit = 1;
constexpr std::uint8_t kOperationReceive = 3;

}  // namespace

// A disabled master keeps its registers but drives nothing on the bus.
void I2cMasterPort::Write(std::uint8_t reg, std::uint8_t value) {
    switch (reg) {
        case kRegControl:
            control_ = value;
            if (!Enabled()) return;
            if (value == kControlStart) bus_.Start();
            if (value == kControlStop) bus_.Stop();
            return;
        case kRegEnable:
            enable_ = value;
            return;
        case kRegTxData:
            txData_ = value;
            if (Enabled() && operation_ == kOperationTransmit) {
                const bool acked = bus_.Transmit(value);
                status_ = static_cast<std::uint8_t>(kStatusDone | (acked ? 0 : kStatusNack));
            }
            return;
        case kRegOperation:
            operation_ = value;
            if (!Enabled()) return;
            if (value == kOperationTransmit) {
                // The byte goes out when it is written to the data register.
                status_ = static_cast<std::uint8_t>(status_ & ~kStatusDone);
            } else if (value == kOperationReceive) {
                rxData_ = bus_.Receive(control_ != kControlReceiveLast);
                status_ = kStatusDone;
            }
            return;
        default:
            return;
    }
}

std::uint8_t I2cMasterPort::Read(std::uint8_t reg) const {
    switch (reg) {
        case kRegControl:
            return status_;
        case kRegEnable:
            return enable_;
        case kRegTxData:
            return txData_;
        case kRegRxData:
            return rxData_;
        case kRegOperation:
            return operation_;
        default:
            return 0;
    }
}

}  // namespace qv::sim

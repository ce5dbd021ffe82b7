#include "sim/I2cMasterPort.h"

namespace qv::sim {
namespace {

constexpr std::uint8_t kControlStart = 0xC0;
constexpr std::uint8_t kControlStop = 0xA0;
constexpr std::uint8_t kControlReceiveLast = 0x90;  // receive without acknowledge
constexpr std::uint8_t kOperationNone = 0;
constexpr std::uint8_t kOperationTransmit = 1;
constexpr std::uint8_t kOperationReceive = 3;
constexpr std::uint64_t kBitsPerByte = 9;  // eight data bits and the acknowledge

}  // namespace

void I2cMasterPort::StartByte() {
    byteEnd_ = clock_.NowMicros() + (kBitsPerByte * 1'000'000 + clockHz_ - 1) / clockHz_;
    operation_ = kOperationNone;
    done_ = true;
}

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
                acked_ = bus_.Transmit(value);
                StartByte();
            }
            return;
        case kRegOperation:
            operation_ = value;
            if (Enabled() && value == kOperationReceive) {
                rxData_ = rxIncoming_;
                rxIncoming_ = bus_.Receive(control_ != kControlReceiveLast);
                acked_ = true;  // nothing was sent, so nothing went unacknowledged
                StartByte();
            }
            return;
        default:
            return;
    }
}

std::uint8_t I2cMasterPort::Read(std::uint8_t reg) const {
    const bool running = ByteRunning();
    switch (reg) {
        case kRegControl:
            if (running) return kStatusNack;
            return static_cast<std::uint8_t>((done_ ? kStatusDone : 0) |
                                             (acked_ ? 0 : kStatusNack));
        case kRegEnable:
            return enable_;
        case kRegTxData:
            return txData_;
        case kRegRxData:
            return running ? rxData_ : rxIncoming_;
        case kRegOperation:
            return operation_;
        default:
            return 0;
    }
}

}  // namespace qv::sim

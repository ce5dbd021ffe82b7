#pragma once
// Passes every call through to the virtual bus and meters what the floor of an update is made
// of: the sleeps the algorithm asks for, and the time spent inside the bus (the simulated
// device, not the tool).

#include <chrono>
#include <cstdint>

#include "platform/ForwardingDeviceApi.h"

namespace qv::bench {

class MeteredDeviceApi final : public ForwardingDeviceApi {
  public:
    explicit MeteredDeviceApi(DeviceApi& inner) : ForwardingDeviceApi(inner) {}

    std::uint64_t SleptMillis() const { return sleptMillis_; }
    std::uint64_t SleepCalls() const { return sleepCalls_; }
    double SecondsInBus() const { return std::chrono::duration<double>(inBus_).count(); }
    void Reset() {
        sleptMillis_ = 0;
        sleepCalls_ = 0;
        inBus_ = {};
    }

    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out,
                           std::uint32_t outSize) override {
        const auto start = std::chrono::steady_clock::now();
        DeviceResult result = Inner().IoControl(handle, code, in, inSize, out, outSize);
        inBus_ += std::chrono::steady_clock::now() - start;
        return result;
    }
    void Sleep(std::uint32_t milliseconds) override {
        sleptMillis_ += milliseconds;
        ++sleepCalls_;
        const auto start = std::chrono::steady_clock::now();
        Inner().Sleep(milliseconds);
        inBus_ += std::chrono::steady_clock::now() - start;
    }

  private:
    std::uint64_t sleptMillis_ = 0;
    std::uint64_t sleepCalls_ = 0;
    std::chrono::steady_clock::duration inBus_{};
};

}  // namespace qv::bench

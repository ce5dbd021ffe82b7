#pragma once
// Passes every call through to the virtual bus and meters what the floor of an update is made
// of: the sleeps the algorithm asks for, and the time spent inside the bus (the simulated
// device, not the tool).

#include <chrono>
#include <cstdint>

#include "platform/DeviceApi.h"

namespace qv::bench {

class MeteredDeviceApi final : public DeviceApi {
  public:
    explicit MeteredDeviceApi(DeviceApi& inner) : inner_(inner) {}

    std::uint64_t SleptMillis() const { return sleptMillis_; }
    std::uint64_t SleepCalls() const { return sleepCalls_; }
    double SecondsInBus() const { return std::chrono::duration<double>(inBus_).count(); }
    void Reset() {
        sleptMillis_ = 0;
        sleepCalls_ = 0;
        inBus_ = {};
    }

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override {
        return inner_.OpenInterfaceSet(interfaceClass, set);
    }
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override {
        return inner_.EnumerateInterface(set, index);
    }
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override {
        return inner_.InterfaceDetailPath(set, index, path);
    }
    void DestroyInterfaceSet(DeviceSetHandle set) override { inner_.DestroyInterfaceSet(set); }
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override {
        return inner_.OpenPath(path, handle);
    }
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out,
                           std::uint32_t outSize) override {
        const auto start = std::chrono::steady_clock::now();
        DeviceResult result = inner_.IoControl(handle, code, in, inSize, out, outSize);
        inBus_ += std::chrono::steady_clock::now() - start;
        return result;
    }
    void CloseHandle(FileHandle handle) override { inner_.CloseHandle(handle); }
    void Sleep(std::uint32_t milliseconds) override {
        sleptMillis_ += milliseconds;
        ++sleepCalls_;
        const auto start = std::chrono::steady_clock::now();
        inner_.Sleep(milliseconds);
        inBus_ += std::chrono::steady_clock::now() - start;
    }
    std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
    char PathSeparator() const override { return inner_.PathSeparator(); }

  private:
    DeviceApi& inner_;
    std::uint64_t sleptMillis_ = 0;
    std::uint64_t sleepCalls_ = 0;
    std::chrono::steady_clock::duration inBus_{};
};

}  // namespace qv::bench

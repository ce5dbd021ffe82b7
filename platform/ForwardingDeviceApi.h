#pragma once
// A device interface that passes every call to another one. Decorators (traffic recording, the
// one device a command works on, the meters of tests and benchmarks) derive from it and
// override only the calls they change.

#include <string>

#include "platform/DeviceApi.h"

namespace qv {

class ForwardingDeviceApi : public DeviceApi {
  public:
    explicit ForwardingDeviceApi(DeviceApi& inner) : inner_(inner) {}

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
    bool InterfaceClassRegistered(const Guid& interfaceClass) override {
        return inner_.InterfaceClassRegistered(interfaceClass);
    }
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override {
        return inner_.OpenPath(path, handle);
    }
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out,
                           std::uint32_t outSize) override {
        return inner_.IoControl(handle, code, in, inSize, out, outSize);
    }
    void CloseHandle(FileHandle handle) override { inner_.CloseHandle(handle); }
    void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
    std::uint64_t NowMicros() override { return inner_.NowMicros(); }

  protected:
    DeviceApi& Inner() const { return inner_; }

  private:
    DeviceApi& inner_;
};

}  // namespace qv

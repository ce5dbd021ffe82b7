#pragma once
// The operating-system calls the device link needs, behind one interface so that the
// link runs unchanged on Windows, on libusb and against the virtual device.

#include <array>
#include <cstdint>
#include <string>

#include "platform/DeviceResult.h"

namespace qv {

// A GUID in Windows memory order (Data1..Data3 little-endian, Data4 as is).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case, as an interface path ends with its class.
std::string GuidText(const Guid& guid);

using DeviceSetHandle = std::intptr_t;
using FileHandle = std::intptr_t;
inline constexpr DeviceSetHandle kNoDeviceSet = -1;
inline constexpr FileHandle kNoFileHandle = -1;
// How long one I/O control may take on a real bus before it fails as timed out.
inline constexpr std::uint32_t kRequestTimeoutMs = 1000;

class DeviceApi {
  public:
    virtual ~DeviceApi() = default;

    // Each device call says whether it succeeded and, when not, why (see DeviceResult).

    // The set of present devices that expose the interface class.
    virtual DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) = 0;
    // Whether member `index` of the set exists: kNoMoreItems ends the enumeration; any other
    // failure means the member could not be read, and the caller stops as at the end.
    virtual DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) = 0;
    // The device path of member `index`; fails when its detail record cannot be read.
    virtual DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                             std::string& path) = 0;
    virtual void DestroyInterfaceSet(DeviceSetHandle set) = 0;
    // Whether a driver ever registered a device of the interface class on this computer,
    // present or not: on Windows, where the product's driver must be installed, it tells a
    // missing driver from a product that is not plugged in. Systems that keep no such register
    // (libusb needs no driver; the virtual device) count every class as registered.
    virtual bool InterfaceClassRegistered(const Guid& /*interfaceClass*/) { return true; }

    // Opens a device path for read and write, shared read and write.
    virtual DeviceResult OpenPath(const std::string& path, FileHandle& handle) = 0;
    // One I/O control: `in` is sent, up to `outSize` bytes come back into `out`. A request the
    // device or its driver has not completed after kRequestTimeoutMs fails as timed out. A read
    // is whole or it fails: one that brings fewer bytes than asked for fails as kShortTransfer.
    virtual DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                                   std::uint32_t inSize, std::uint8_t* out,
                                   std::uint32_t outSize) = 0;
    virtual void CloseHandle(FileHandle handle) = 0;

    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // A steady clock in microseconds, for waits bounded in time: the system's on a real bus,
    // the device's under the simulator (so a sleep moves it), the sleeps asked for in a replay.
    virtual std::uint64_t NowMicros() = 0;
};

}  // namespace qv

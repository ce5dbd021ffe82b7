#pragma once
// A device whose every answer comes from the fuzz input: whether each call succeeds, which
// interfaces it lists and the bytes it returns. It decodes every block the link sends (which
// must always be well formed) and keeps what the host did to the flash: the bytes each page
// program carried and the bytes each read returned, address by address, so a target can check
// that a reported success is true. Time is virtual: Sleep only counts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"

namespace qv::fuzz {

// When the input is used up, the device either stops answering (every call fails) or turns
// into a healthy part: transfers succeed, the SPI port reports ready, the flash is idle with the
// status last written, reads return what was last programmed (else erased flash), the mailbox
// and the I2C master report done.
enum class AfterInput { kSilent, kIdle };

class HostileDeviceApi : public DeviceApi {
  public:
    // More requests than this in one operation is an endless loop.
    static constexpr std::uint64_t kRequestLimit = 1'000'000;
    static constexpr std::int16_t kNone = -1;

    // A new device for the next operation; `tracked` addresses from 0 are followed.
    void Reset(std::span<const std::uint8_t> answers, AfterInput after, bool propertyMode,
               std::size_t tracked);

    // The matching device path each listed interface has.
    std::string path = "\\\\?\\usb#vid_0c5e&pid_6000#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

    std::uint64_t requests = 0;
    std::uint64_t sleptMs = 0;
    int openHandles = 0;
    // Per tracked address: the byte the last accepted page program carried there, and the byte
    // the last read returned since then; kNone when there is none.
    std::vector<std::int16_t> programmed;
    std::vector<std::int16_t> readBack;

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& out) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    DeviceResult OpenPath(const std::string& devicePath, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override;
    void Sleep(std::uint32_t milliseconds) override { sleptMs += milliseconds; }
    std::uint64_t NowMicros() override { return sleptMs * 1000; }

  private:
    bool InputLeft() const { return next_ < answers_.size(); }
    // A yes/no answer: seven in eight bytes say yes.
    bool Yes();
    // Success on yes; otherwise a failure of a kind the input chooses.
    DeviceResult Answer();
    // The device's byte-by-byte bookkeeping is not under test: it is left out of the coverage
    // instrumentation, whose comparison hooks would otherwise take a third of the time.
#define QV_NOT_COVERED __attribute__((no_sanitize("coverage")))
    // The bytes an IN request returns: from the input while it lasts, then IdleByte.
    QV_NOT_COVERED void FillAnswer(std::uint8_t request, std::uint8_t* out, std::uint32_t count);
    // The byte an IN request returns once the input is used up.
    QV_NOT_COVERED std::uint8_t IdleByte(std::uint8_t request, std::uint32_t i) const;
    QV_NOT_COVERED std::uint8_t FlashByte(std::int64_t address) const;
    QV_NOT_COVERED void Observe(std::uint8_t request, std::uint16_t index,
                                std::span<const std::uint8_t> data);
    QV_NOT_COVERED void ObserveFetch(const std::uint8_t* bytes, std::uint32_t count);
#undef QV_NOT_COVERED

    std::span<const std::uint8_t> answers_;
    std::size_t next_ = 0;
    AfterInput after_ = AfterInput::kSilent;
    bool propertyMode_ = false;
    std::size_t listed_ = 0;
    std::uint8_t lastReadOpcode_ = 0;   // the opcode of the last read start
    std::int64_t readAddress_ = -1;     // where the pending fetch reads, -1 for none
    std::int64_t programAddress_ = -1;  // where the pending page program writes, -1 for none
    std::uint16_t lastRegister_ = 0;    // the register the last register read named
    std::int64_t fetchAddress_ = -1;    // where the data a fetch returns comes from
    std::uint8_t status_ = 0;           // the status register as last written
};

}  // namespace qv::fuzz

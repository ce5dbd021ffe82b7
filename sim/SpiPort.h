#pragma once
// The chip's SPI port to the flash, driven by requests 0x80 to 0x83: 0x80 clocks bytes out,
// 0x81 clocks bytes out and then reads `value` bytes into the port's buffer, 0x82 returns the
// buffer, 0x83 reports whether the last transfer is over. Index 1 ends the transaction
// (chip select released), index 0 keeps the chip select for the next request. Transfers finish
// within the request that starts them, so 0x83 reports ready at once.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/SpiFlash.h"

namespace qv::sim {

class SpiPort {
  public:
    static constexpr std::size_t kBufferSize = 256;

    explicit SpiPort(SpiFlash& flash) : flash_(flash) {}

    // Each returns false for a request the port refuses (the request stalls).
    bool Write(std::uint16_t index, const std::uint8_t* data, std::uint32_t length);
    bool ReadStart(std::uint16_t count, std::uint16_t index, const std::uint8_t* data,
                   std::uint32_t length);
    bool Fetch(std::uint8_t* data, std::uint32_t length) const;
    bool Ready(std::uint8_t* data, std::uint32_t length) const;
    // Releases the chip select (the port is disconnected).
    void Release();

    // Fault: the port never reports a finished transfer.
    void SetStuck(bool stuck) { stuck_ = stuck; }

  private:
    void Send(const std::uint8_t* data, std::uint32_t length);
    void Finish(std::uint16_t index);

    SpiFlash& flash_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    bool selected_ = false;
    bool stuck_ = false;
};

}  // namespace qv::sim

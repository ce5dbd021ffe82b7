#pragma once
// The chip's SPI port to the flash, driven by requests 0x80 to 0x83: 0x80 clocks bytes out,
// 0x81 clocks bytes out and then reads `value` bytes into the port's buffer, 0x82 returns the
// buffer, 0x83 reports whether the last transfer is over. Index 1 ends the transaction
// (chip select released), index 0 keeps the chip select for the next request.
// A transfer takes eight clocks per byte moved in device time. Until it is over, 0x83 reports 0
// and 0x82 stalls; a new transfer waits for the port (the chip holds the request back).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/Clock.h"
#include "sim/SpiFlash.h"

namespace qv::sim {

class SpiPort {
  public:
    static constexpr std::size_t kBufferSize = 256;
    static constexpr std::uint32_t kDefaultClockHz = 12'000'000;

    SpiPort(SpiFlash& flash, Clock& clock) : flash_(flash), clock_(clock) {}

    // Each returns false for a request the port refuses (the request stalls).
    bool Write(std::uint16_t index, const std::uint8_t* data, std::uint32_t length);
    bool ReadStart(std::uint16_t count, std::uint16_t index, const std::uint8_t* data,
                   std::uint32_t length);
    bool Fetch(std::uint8_t* data, std::uint32_t length) const;
    bool Ready(std::uint8_t* data, std::uint32_t length) const;
    // Releases the chip select (the port is disconnected).
    void Release();

    void SetClockHz(std::uint32_t hz) { clockHz_ = hz; }
    // Fault: the port never reports a finished transfer.
    void SetStuck(bool stuck) { stuck_ = stuck; }
    // Fault: no flash on the port (a broken route): nothing reaches the flash, and every byte
    // read is `level`, as the data line floats low or high. Empty: the flash is there.
    void SetNoFlash(std::optional<std::uint8_t> level) { noFlashLevel_ = level; }

  private:
    bool Running() const { return stuck_ || clock_.NowMicros() < transferEnd_; }
    void WaitForPort();
    void Send(const std::uint8_t* data, std::uint32_t length);
    void Finish(std::uint16_t index, std::uint32_t bytesMoved);

    SpiFlash& flash_;
    Clock& clock_;
    std::uint32_t clockHz_ = kDefaultClockHz;
    std::uint64_t transferEnd_ = 0;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    bool selected_ = false;
    bool stuck_ = false;
    std::optional<std::uint8_t> noFlashLevel_;
};

}  // namespace qv::sim

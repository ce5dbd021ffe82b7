#pragma once
// A 25-series SPI NOR flash as seen on its SPI pins: instructions are shifted in while the
// chip select is held and take effect when it is released. Program and erase cycles run in
// device time; while one runs the status register shows WIP and every instruction but
// "read status" is ignored.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "catalog/FlashParts.h"
#include "sim/Clock.h"
#include "sim/StateFile.h"

namespace qv::sim {

using JedecId = FlashId;

// Busy times in device time.
struct FlashTimings {
    std::uint64_t pageProgramMicros = 0;
    std::uint64_t sectorEraseMicros = 0;
    std::uint64_t statusWriteMicros = 0;
    std::uint64_t chipEraseMicros = 0;
};

struct FlashConfig {
    JedecId id{};
    std::uint32_t size = 0;        // bytes, a power of two
    std::uint32_t pageSize = 0;    // bytes, a power of two
    std::uint8_t protectBits = 3;  // block-protect bits from status bit 2 up: 2, 3 or 4
    FlashTimings timings;
};

// Presets from the flash parts table.
enum class FlashPreset {
    kCommon2MiB,     // EF 40 15: 2 MiB, 256-byte pages (the default)
    kCommon4MiB,     // EF 40 16: 4 MiB, 256-byte pages
    kSmallPage1MiB,  // C2 22 14: 1 MiB, 32-byte pages
};

// A flash of the part's size and page size, busy for the part's typical times.
FlashConfig PartConfig(const FlashPart& part);
FlashConfig PresetConfig(FlashPreset preset);

class SpiFlash {
  public:
    static constexpr std::uint32_t kSectorSize = 4096;
    static constexpr std::uint8_t kStatusWip = 0x01;
    static constexpr std::uint8_t kStatusWel = 0x02;

    SpiFlash(Clock& clock, const FlashConfig& config);

    // The SPI side.
    void Select();
    std::uint8_t Exchange(std::uint8_t mosi);
    void Deselect();

    // Observation and set-up for tests.
    const std::vector<std::uint8_t>& Contents() const { return cells_; }
    // Writes bytes straight into the array, bypassing protection and timing.
    void Preload(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    std::uint8_t Status() const;
    bool WriteEnabled() const;
    bool Busy() const;
    const JedecId& Id() const { return config_.id; }
    std::uint32_t Size() const { return config_.size; }
    std::uint32_t PageSize() const { return config_.pageSize; }
    bool IsProtected(std::uint32_t address) const;
    const FlashTimings& Timings() const { return config_.timings; }
    void SetTimings(const FlashTimings& timings) { config_.timings = timings; }

    // What the flash keeps when the device is kept between runs: its cells, status register
    // and write-enable latch. A cycle still running is taken as finished.
    void SaveState(StateWriter& out) const;
    void LoadState(StateReader& in);

    // Faults.
    // A program or erase that runs or starts from now on never ends.
    void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
    // The status register ignores writes, as with its write-protect pin held low.
    void SetStatusLocked(bool locked) { statusLocked_ = locked; }
    // Every block protected, the status register write-disabled (SRWD) and its write-protect
    // pin held low: the protection cannot be cleared, so nothing can be erased or programmed.
    void HoldProtection();
    // Reads of `address` return the stored byte XOR `mask`; mask 0 removes the fault.
    void SetFlippedBits(std::uint32_t address, std::uint8_t mask);

  private:
    std::uint8_t ProtectBits() const;  // the status bits that hold block protection
    bool CycleOver() const;
    void Settle();
    // `changesCells`: a program or erase, which a stuck flash never finishes.
    void StartCycle(std::uint64_t micros, bool changesCells);
    std::uint32_t CommandAddress() const;
    std::uint8_t ReadCell(std::uint32_t address) const;
    void LatchProgramByte(std::uint8_t byte);
    void Execute();
    void WriteStatus();
    void ProgramPage();
    void EraseSector();
    void EraseChip();

    Clock& clock_;
    FlashConfig config_;
    std::vector<std::uint8_t> cells_;
    std::uint8_t statusBits_ = 0;  // bits 2-7; WIP and WEL are derived
    bool writeEnabled_ = false;
    std::optional<std::uint64_t> cycleEnd_;
    bool stuckBusy_ = false;
    bool cycleChangesCells_ = false;
    bool statusLocked_ = false;
    std::optional<std::uint32_t> flippedAddress_;
    std::uint8_t flipMask_ = 0;

    // The instruction being shifted in.
    bool selected_ = false;
    bool ignored_ = false;  // arrived while busy
    std::uint32_t position_ = 0;
    std::array<std::uint8_t, 4> header_{};  // opcode and address bytes
    std::vector<std::uint8_t> pageLatch_;   // 0xFF where no data byte arrived
};

}  // namespace qv::sim

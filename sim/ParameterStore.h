#pragma once
// The product parameters the chip's firmware keeps in EEPROM: vendor id, product id, three
// 32-byte string blocks and the 4-byte system settings record. Items are addressed as the
// mailbox selects them: an even selector writes, the odd one above it reads the same item.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/StateFile.h"

namespace qv::sim {

class ParameterStore {
  public:
    static constexpr std::size_t kChunkSize = 8;
    static constexpr std::size_t kStringBlockSize = 32;
    static constexpr std::size_t kStringCount = 3;
    static constexpr std::uint8_t kEepromPresentBit = 0x80;  // byte 3 of the settings record

    using Chunk = std::array<std::uint8_t, kChunkSize>;
    using Id = std::array<std::uint8_t, 4>;
    using StringBlock = std::array<std::uint8_t, kStringBlockSize>;
    using Settings = std::array<std::uint8_t, 4>;

    // Carries out one access with the mailbox's data registers; false for a selector or
    // chunk index the firmware does not know, which it leaves unanswered.
    bool Access(std::uint8_t selector, std::uint8_t index, Chunk& data);

    const Id& VendorId() const { return vendorId_; }
    const Id& ProductId() const { return productId_; }
    const StringBlock& String(std::size_t n) const { return strings_.at(n); }
    // The record as the device reports it, with the EEPROM flag in byte 3 bit 7.
    Settings ReportedSettings() const;
    void SetEepromPresent(bool present) { eepromPresent_ = present; }
    void SaveState(StateWriter& out) const;
    void LoadState(StateReader& in);

  private:
    std::uint8_t* Item(std::uint8_t item, std::uint8_t index, std::size_t& length);

    // A blank EEPROM reads 0xFF; the settings live in the chip and start at its defaults.
    Id vendorId_{0xFF, 0xFF, 0xFF, 0xFF};
    Id productId_{0xFF, 0xFF, 0xFF, 0xFF};
    std::array<StringBlock, kStringCount> strings_ = [] {
        std::array<StringBlock, kStringCount> blank;
        for (auto& block : blank) block.fill(0xFF);
        return blank;
    }();
    Settings settings_{0xA1, 0x00, 0x00, 0x00};
    bool eepromPresent_ = true;
};

}  // namespace qv::sim

#include "sim/ParameterStore.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr std::uint8_t kSelectVendorId = 0x08;
constexpr std::uint8_t kSelectProductId = 0x0A;
constexpr std::uint8_t kSelectString1 = 0x10;
constexpr std::uint8_t kSelectString2 = 0x14;
constexpr std::uint8_t kSelectString3 = 0x18;
constexpr std::uint8_t kSelectSettings = 0x20;
constexpr std::uint8_t kStringChunks = 4;

}  // namespace

std::uint8_t* ParameterStore::Item(std::uint8_t item, std::uint8_t index, std::size_t& length) {
    const auto chunkOf = [&](StringBlock& block) -> std::uint8_t* {
        if (index >= kStringChunks) return nullptr;
        length = kChunkSize;
        return block.data() + index * kChunkSize;
    };
    if (item == kSelectString1) return chunkOf(strings_[0]);
    if (item == kSelectString2) return chunkOf(strings_[1]);
    if (item == kSelectString3) return chunkOf(strings_[2]);
    if (index != 0) return nullptr;
    length = 4;
    if (item == kSelectVendorId) return vendorId_.data();
    if (item == kSelectProductId) return productId_.data();
    if (item == kSelectSettings) return settings_.data();
    return nullptr;
}

// The mailbox carries no count, so a write stores the whole item or chunk from the data
// registers; a string block's length byte says how much of it counts. Without an EEPROM only
// the settings, which live in the chip, are kept.
bool ParameterStore::Access(std::uint8_t selector, std::uint8_t index, Chunk& data) {
    const std::uint8_t item = selector & 0xFE;
    std::size_t length = 0;
    std::uint8_t* bytes = Item(item, index, length);
    if (bytes == nullptr) return false;
    if ((selector & 0x01) != 0) {
        const Settings reported = ReportedSettings();
        const std::uint8_t* source = item == kSelectSettings ? reported.data() : bytes;
        std::copy_n(source, length, data.begin());
    } else if (eepromPresent_ || item == kSelectSettings) {
        std::copy_n(data.begin(), length, bytes);
    }
    return true;
}

void ParameterStore::SaveState(StateWriter& out) const {
    out.Bytes(vendorId_.data(), vendorId_.size());
    out.Bytes(productId_.data(), productId_.size());
    for (const StringBlock& block : strings_) out.Bytes(block.data(), block.size());
    out.Bytes(settings_.data(), settings_.size());
    out.Flag(eepromPresent_);
}

void ParameterStore::LoadState(StateReader& in) {
    in.Bytes(vendorId_.data(), vendorId_.size());
    in.Bytes(productId_.data(), productId_.size());
    for (StringBlock& block : strings_) in.Bytes(block.data(), block.size());
    in.Bytes(settings_.data(), settings_.size());
    eepromPresent_ = in.Flag();
}

ParameterStore::Settings ParameterStore::ReportedSettings() const {
    Settings reported = settings_;
    reported[3] = static_cast<std::uint8_t>((reported[3] & ~kEepromPresentBit) |
                                            (eepromPresent_ ? kEepromPresentBit : 0));
    return reported;
}

}  // namespace qv::sim

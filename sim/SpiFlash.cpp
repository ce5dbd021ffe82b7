#include "sim/SpiFlash.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr std::uint8_t kOpWriteStatus = 0x01;
constexpr std::uint8_t kOpPageProgram = 0x02;
constexpr std::uint8_t kOpRead = 0x03;
constexpr std::uint8_t kOpWriteDisable = 0x04;
constexpr std::uint8_t kOpReadStatus = 0x05;
constexpr std::uint8_t kOpWriteEnable = 0x06;
constexpr std::uint8_t kOpSectorErase = 0x20;
constexpr std::uint8_t kOpChipErase = 0xC7;
constexpr std::uint8_t kOpChipEraseAlt = 0x60;
constexpr std::uint8_t kOpReadId = 0x9F;

constexpr std::uint32_t kHeaderBytes = 4;          // opcode and 24-bit address
constexpr std::uint32_t kProtectUnit = 64 * 1024;  // BP = 1 protects the top 64 KiB
constexpr std::uint8_t kIdle = 0xFF;               // MISO when nothing drives it

const FlashPart& PresetPart(FlashPreset preset) {
    switch (preset) {
        case FlashPreset::kCommon4MiB:
            return flash_parts::kEf4016;
        case FlashPreset::kSmallPage1MiB:
            return flash_parts::kC22214;
        case FlashPreset::kCommon2MiB:
            break;
    }
    return flash_parts::kEf4015;
}

}  // namespace

FlashConfig PartConfig(const FlashPart& part) {
    const FlashTimings timings{part.pageProgram.typicalMicros, part.sectorErase.typicalMicros,
                               part.statusWrite.typicalMicros, part.chipErase.typicalMicros};
    return {part.id, part.size, part.pageSize, part.protectBits, timings};
}

FlashConfig PresetConfig(FlashPreset preset) {
    return PartConfig(PresetPart(preset));
}

SpiFlash::SpiFlash(Clock& clock, const FlashConfig& config)
    : clock_(clock),
      config_(config),
      cells_(config.size, 0xFF),
      pageLatch_(config.pageSize, 0xFF) {}

bool SpiFlash::CycleOver() const {
    return cycleEnd_ && !(stuckBusy_ && cycleChangesCells_) && clock_.NowMicros() >= *cycleEnd_;
}

bool SpiFlash::Busy() const {
    return cycleEnd_ && !CycleOver();
}

// The write-enable latch stays set while a cycle runs and drops when it ends.
bool SpiFlash::WriteEnabled() const {
    return writeEnabled_ && !CycleOver();
}

std::uint8_t SpiFlash::Status() const {
    return static_cast<std::uint8_t>((statusBits_ & 0xFC) | (WriteEnabled() ? kStatusWel : 0) |
                                     (Busy() ? kStatusWip : 0));
}

void SpiFlash::Settle() {
    if (!CycleOver()) return;
    cycleEnd_.reset();
    writeEnabled_ = false;
}

void SpiFlash::StartCycle(std::uint64_t micros, bool changesCells) {
    cycleEnd_ = clock_.NowMicros() + micros;
    cycleChangesCells_ = changesCells;
}

void SpiFlash::SaveState(StateWriter& out) const {
    out.Bytes(cells_.data(), cells_.size());
    out.Byte(statusBits_);
    out.Flag(writeEnabled_ && !cycleEnd_);
}

void SpiFlash::LoadState(StateReader& in) {
    in.Bytes(cells_.data(), cells_.size());
    statusBits_ = static_cast<std::uint8_t>(in.Byte() & 0xFC);
    writeEnabled_ = in.Flag();
    cycleEnd_.reset();
}

std::uint8_t SpiFlash::ProtectBits() const {
    return static_cast<std::uint8_t>(((1u << config_.protectBits) - 1) << 2);
}

// Protection follows the common 25-series table: BP = n protects the top 64 KiB << (n - 1) of
// the array, capped at the whole array; every protect bit set protects everything.
bool SpiFlash::IsProtected(std::uint32_t address) const {
    const unsigned bp = (statusBits_ & ProtectBits()) >> 2;
    if (bp == 0) return false;
    if (bp == ProtectBits() >> 2) return true;
    const std::uint64_t protectedSize =
        std::min<std::uint64_t>(config_.size, std::uint64_t{kProtectUnit} << (bp - 1));
    return (address % config_.size) >= config_.size - protectedSize;
}

void SpiFlash::Preload(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) cells_[(address + i) % config_.size] = bytes[i];
}

void SpiFlash::SetFlippedBits(std::uint32_t address, std::uint8_t mask) {
    flipMask_ = mask;
    if (mask == 0) {
        flippedAddress_.reset();
    } else {
        flippedAddress_ = address % config_.size;
    }
}

std::uint8_t SpiFlash::ReadCell(std::uint32_t address) const {
    const std::uint32_t wrapped = address % config_.size;
    const std::uint8_t stored = cells_[wrapped];
    return flippedAddress_ == wrapped ? static_cast<std::uint8_t>(stored ^ flipMask_) : stored;
}

// Upper address bits beyond the array are ignored, as on real parts.
std::uint32_t SpiFlash::CommandAddress() const {
    const std::uint32_t address =
        (std::uint32_t{header_[1]} << 16) | (std::uint32_t{header_[2]} << 8) | header_[3];
    return address % config_.size;
}

void SpiFlash::Select() {
    Settle();
    selected_ = true;
    ignored_ = false;
    position_ = 0;
    std::fill(pageLatch_.begin(), pageLatch_.end(), 0xFF);
}

std::uint8_t SpiFlash::Exchange(std::uint8_t mosi) {
    if (!selected_) return kIdle;
    Settle();
    const std::uint32_t position = position_++;
    if (position == 0) {
        header_[0] = mosi;
        ignored_ = Busy() && mosi != kOpReadStatus;
        return kIdle;
    }
    if (ignored_) return kIdle;
    if (position < kHeaderBytes) header_[position] = mosi;
    switch (header_[0]) {
        case kOpReadStatus:
            return Status();
        case kOpReadId:
            return position <= config_.id.size() ? config_.id[position - 1] : kIdle;
        case kOpRead:
            return position >= kHeaderBytes ? ReadCell(CommandAddress() + position - kHeaderBytes)
                                            : kIdle;
        case kOpPageProgram:
            if (position >= kHeaderBytes) LatchProgramByte(mosi);
            return kIdle;
        default:
            return kIdle;
    }
}

// Data wrap inside the page: bytes past its end overwrite the latch from the page start.
void SpiFlash::LatchProgramByte(std::uint8_t byte) {
    const std::uint32_t offset = CommandAddress() % config_.pageSize;
    const std::uint32_t n = position_ - 1 - kHeaderBytes;
    pageLatch_[(offset + n) % config_.pageSize] = byte;
}

void SpiFlash::Deselect() {
    if (!selected_) return;
    selected_ = false;
    Settle();
    if (!ignored_ && position_ > 0) Execute();
}

// Instructions take effect at chip-select release, and only with the exact byte count.
void SpiFlash::Execute() {
    switch (header_[0]) {
        case kOpWriteEnable:
            if (position_ == 1) writeEnabled_ = true;
            break;
        case kOpWriteDisable:
            if (position_ == 1) writeEnabled_ = false;
            break;
        case kOpWriteStatus:
            if (position_ == 2 && writeEnabled_) WriteStatus();
            break;
        case kOpPageProgram:
            if (position_ > kHeaderBytes && writeEnabled_) ProgramPage();
            break;
        case kOpSectorErase:
            if (position_ == kHeaderBytes && writeEnabled_) EraseSector();
            break;
        case kOpChipErase:
        case kOpChipEraseAlt:
            if (position_ == 1 && writeEnabled_) EraseChip();
            break;
        default:
            break;
    }
}

// WIP and WEL are read-only. A part with two protect bits keeps bits 4 to 6 reserved (they
// read 0); the others use them (top/bottom, sector, quad enable). With the write-protect pin
// high SRWD locks nothing; held low (statusLocked_) the write is ignored and drops the latch.
void SpiFlash::WriteStatus() {
    if (statusLocked_) {
        writeEnabled_ = false;
        return;
    }
    constexpr std::uint8_t kStatusRegisterWriteDisable = 0x80;
    const std::uint8_t writable =
        config_.protectBits == 2 ? kStatusRegisterWriteDisable | ProtectBits() : std::uint8_t{0xFC};
    statusBits_ = static_cast<std::uint8_t>(header_[1] & writable);
    StartCycle(config_.timings.statusWriteMicros, false);
}

// A refused program or erase (protected area) also clears the latch, so a refused attempt
// never leaves writes enabled.
void SpiFlash::ProgramPage() {
    const std::uint32_t pageStart = CommandAddress() & ~(config_.pageSize - 1);
    if (IsProtected(pageStart)) {
        writeEnabled_ = false;
        return;
    }
    for (std::uint32_t i = 0; i < config_.pageSize; ++i) cells_[pageStart + i] &= pageLatch_[i];
    StartCycle(config_.timings.pageProgramMicros, true);
}

void SpiFlash::EraseSector() {
    const std::uint32_t sectorStart = CommandAddress() & ~(kSectorSize - 1);
    if (IsProtected(sectorStart)) {
        writeEnabled_ = false;
        return;
    }
    std::fill_n(cells_.begin() + sectorStart, kSectorSize, 0xFF);
    StartCycle(config_.timings.sectorEraseMicros, true);
}

void SpiFlash::HoldProtection() {
    constexpr std::uint8_t kStatusRegisterWriteDisable = 0x80;
    statusBits_ =
        static_cast<std::uint8_t>(statusBits_ | kStatusRegisterWriteDisable | ProtectBits());
    statusLocked_ = true;
}

// Chip erase is refused when any block is protected.
void SpiFlash::EraseChip() {
    if ((statusBits_ & ProtectBits()) != 0) {
        writeEnabled_ = false;
        return;
    }
    std::fill(cells_.begin(), cells_.end(), 0xFF);
    StartCycle(config_.timings.chipEraseMicros, true);
}

}  // namespace qv::sim

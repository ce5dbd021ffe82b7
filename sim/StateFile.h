#pragma once
// The file that keeps a virtual device between runs (--sim-state): a tag, the device's bytes
// and a CRC-32 over both. It is written whole to a temporary file in the same folder and then
// renamed over the old one, so a run that stops half-way never leaves a damaged file behind; a
// link is followed to its target, which keeps its permissions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "result/Expected.h"

namespace qv::sim {

// Collects the bytes of a device state, little-endian.
class StateWriter {
  public:
    StateWriter() = default;
    // Writes over `buffer`, whose capacity a caller that saves again and again reuses.
    explicit StateWriter(std::vector<std::uint8_t> buffer) : bytes_(std::move(buffer)) {
        bytes_.clear();
    }
    void Byte(std::uint8_t value) { bytes_.push_back(value); }
    void Flag(bool value) { Byte(value ? 1 : 0); }
    void Word(std::uint32_t value);
    void Bytes(const std::uint8_t* data, std::size_t count);
    void Text(const std::string& text);
    const std::vector<std::uint8_t>& Data() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

// Reads them back in the same order; a read past the end or a flag that is not 0 or 1 makes
// every later read fail, so a caller checks Ok() once at the end.
class StateReader {
  public:
    explicit StateReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::uint8_t Byte();
    bool Flag();
    std::uint32_t Word();
    void Bytes(std::uint8_t* data, std::size_t count);
    std::string Text();
    bool Ok() const { return ok_; }
    bool AtEnd() const { return position_ == bytes_.size(); }

  private:
    bool Take(std::size_t count);

    const std::vector<std::uint8_t>& bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

// A state file's bytes: the tag, the device bytes and the CRC-32 over both.
std::vector<std::uint8_t> WrapState(const std::vector<std::uint8_t>& state);
// The device bytes inside a state file's bytes; false when they are damaged or no state file.
bool UnwrapState(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& state);

// Twice the largest virtual flash: more than any state, and a bound on what a read may take.
inline constexpr std::uintmax_t kMaxStateFileBytes = std::uintmax_t{16} << 20;

// The device bytes of a state file, nothing when there is none; refused (kind kRefused) with
// the reason when the file cannot be read or is damaged.
Expected<std::optional<std::vector<std::uint8_t>>> ReadStateFile(const std::string& path);
// Says why the file could not be written at the end of a run, before the run begins.
Expected<void> CanWriteStateFile(const std::string& path);
// Replaces the file with the device bytes, through a temporary file and a rename.
Expected<void> WriteStateFile(const std::string& path, const std::vector<std::uint8_t>& state);

}  // namespace qv::sim

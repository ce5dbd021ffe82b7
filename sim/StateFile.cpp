#include "sim/StateFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "system/OutputFile.h"
#include "system/RegularFile.h"

namespace qv::sim {
namespace {

constexpr std::array<std::uint8_t, 8> kTag{'Q', 'V', 'S', 'T', 'A', 'T', 'E', 1};
constexpr std::size_t kCrcSize = 4;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t count) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            std::uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[i] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t LittleEndian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

std::string Quoted(const std::string& path) {
    return "state file '" + path + "'";
}

}  // namespace

void StateWriter::Word(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) Byte(static_cast<std::uint8_t>(value >> shift));
}

void StateWriter::Bytes(const std::uint8_t* data, std::size_t count) {
    bytes_.insert(bytes_.end(), data, data + count);
}

void StateWriter::Text(const std::string& text) {
    Word(static_cast<std::uint32_t>(text.size()));
    Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool StateReader::Take(std::size_t count) {
    if (!ok_ || bytes_.size() - position_ < count) ok_ = false;
    return ok_;
}

std::uint8_t StateReader::Byte() {
    return Take(1) ? bytes_[position_++] : 0;
}

bool StateReader::Flag() {
    const std::uint8_t value = Byte();
    if (value > 1) ok_ = false;
    return value == 1;
}

std::uint32_t StateReader::Word() {
    if (!Take(4)) return 0;
    const std::uint32_t value = LittleEndian(bytes_.data() + position_);
    position_ += 4;
    return value;
}

void StateReader::Bytes(std::uint8_t* data, std::size_t count) {
    if (!Take(count)) return;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, data);
    position_ += count;
}

std::string StateReader::Text() {
    const std::uint32_t size = Word();
    if (!Take(size)) return {};
    std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(position_ + size));
    position_ += size;
    return text;
}

std::vector<std::uint8_t> WrapState(const std::vector<std::uint8_t>& state) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kTag.size() + state.size() + kCrcSize);
    bytes.assign(kTag.begin(), kTag.end());
    bytes.insert(bytes.end(), state.begin(), state.end());
    const std::uint32_t crc = Crc32(bytes.data(), bytes.size());
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(crc >> shift));
    return bytes;
}

bool UnwrapState(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& state) {
    const bool tagged = bytes.size() >= kTag.size() + kCrcSize &&
                        std::equal(kTag.begin(), kTag.end(), bytes.begin());
    if (!tagged) return false;
    const std::size_t body = bytes.size() - kCrcSize;
    if (Crc32(bytes.data(), body) != LittleEndian(bytes.data() + body)) return false;
    state.assign(bytes.begin() + kTag.size(), bytes.begin() + static_cast<std::ptrdiff_t>(body));
    return true;
}

Expected<std::optional<std::vector<std::uint8_t>>> ReadStateFile(const std::string& path) {
    const Expected<std::optional<std::string>> read = ReadRegularFile(path, kMaxStateFileBytes);
    if (!read.ok()) {
        return Problem{FailureKind::kRefused, "the " + Quoted(path) + " cannot be used (" +
                                                  read.text() + "); it was left as it is"};
    }
    if (!*read) return std::optional<std::vector<std::uint8_t>>();
    std::vector<std::uint8_t> state;
    if (!UnwrapState(std::vector<std::uint8_t>((*read)->begin(), (*read)->end()), state)) {
        return Problem{
            FailureKind::kRefused,
            "the " + Quoted(path) + " is damaged or no virtual device state; it was left as it is"};
    }
    return std::optional<std::vector<std::uint8_t>>(std::move(state));
}

Expected<void> CanWriteStateFile(const std::string& path) {
    const Expected<OutputTarget> target = CheckOutputFile(path);
    if (target.ok()) return {};
    return Problem{FailureKind::kRefused,
                   "cannot write the " + Quoted(path) + ": " + target.text()};
}

Expected<void> WriteStateFile(const std::string& path, const std::vector<std::uint8_t>& state) {
    const std::vector<std::uint8_t> bytes = WrapState(state);
    const Expected<OutputTarget> target = CheckOutputFile(path);
    const Expected<void> written =
        target.ok() ? ReplaceFileContents(
                          *target, std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                    bytes.size()))
                    : Expected<void>(target.problem());
    if (written.ok()) return {};
    return Problem{FailureKind::kRefused, "cannot write the " + Quoted(path) + " (" +
                                              written.text() + "); the previous state was kept"};
}

}  // namespace qv::sim

#include "flash/RangeChecks.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace qv {
namespace {

using Block = std::array<std::uint8_t, kReadBlockSize>;

// One reading of a block: whether the read went through, and where the first bad byte lies.
struct Reading {
    bool read = false;
    std::optional<std::uint32_t> firstBad;
};

struct WalkTexts {
    const char* address;  // before each block address, in process address
    const char* failure;  // before the failing address, in process info
};

constexpr WalkTexts kBlankTexts{"Blanking Addr: 0x", "Blanking Fail at 0x"};
constexpr WalkTexts kVerifyTexts{"Verifying Addr: 0x", "Verifying Fail at 0x"};

// Walks the blocks of [start, end], rereading a block while it has strikes.
template <typename ReadBlock>
bool WalkBlocks(FlashRun& run, std::uint32_t start, std::uint32_t end, FlashStage stage,
                const WalkTexts& texts, ReadBlock readBlock) {
    FlashReporter& reporter = run.reporter;
    const std::uint64_t total = std::uint64_t{end} - start + 1;
    int strikes = 0;
    std::uint32_t failAt = start;
    for (std::uint64_t a = start; a <= end;) {
        const auto address = static_cast<std::uint32_t>(a);
        if (strikes == 0) failAt = address;
        const Reading reading = readBlock(address);
        if (reading.read) {
            if (reading.firstBad) {
                ++strikes;
                failAt = address + *reading.firstBad;
            } else {
                strikes = 0;
            }
            reporter.ProcessAddress(texts.address + Hex6(address));
            reporter.Progress(stage, std::min(a - start + kReadBlockSize, total), total);
            reporter.Pump();
            // A stop after the last block stops nothing.
            if (run.stopRequested && strikes == 0 && a + kReadBlockSize <= end) {
                run.stoppedAt = static_cast<std::uint32_t>(a + kReadBlockSize);
                return false;
            }
        } else {
            ++strikes;
        }
        if (strikes >= kStrikeLimit) {
            reporter.ProcessInfo(texts.failure + Hex6(failAt));
            return false;
        }
        if (strikes == 0) a += kReadBlockSize;
    }
    return true;
}

// The first block byte, up to `end`, for which `bad(k)` holds.
template <typename Bad>
std::optional<std::uint32_t> FirstBad(std::uint32_t address, std::uint32_t end, Bad bad) {
    for (std::uint32_t k = 0; k < kReadBlockSize && std::uint64_t{address} + k <= end; ++k) {
        if (bad(k)) return k;
    }
    return std::nullopt;
}

}  // namespace

bool BlankCheckRange(FlashTarget& target, FlashRun& run, std::uint32_t start, std::uint32_t end) {
    Block block{};
    return WalkBlocks(
        run, start, end, FlashStage::kBlankCheck, kBlankTexts, [&](std::uint32_t address) {
            if (!FlashReadBlock(target.usb, address, kReadBlockSize, block.data()))
                return Reading{};
            return Reading{
                true, FirstBad(address, end, [&](std::uint32_t k) { return block[k] != 0xFF; })};
        });
}

bool VerifyRange(FlashTarget& target, FlashRun& run, std::uint32_t start, std::uint32_t end) {
    Block block{};
    Block expected{};
    return WalkBlocks(
        run, start, end, FlashStage::kVerify, kVerifyTexts, [&](std::uint32_t address) {
            block.fill(0);
            if (!FlashReadBlock(target.usb, address, kReadBlockSize, block.data())) {
                return Reading{};
            }
            CopyImageBytes(target.image, address - start, expected.size(), expected.data());
            return Reading{true, FirstBad(address, end, [&](std::uint32_t k) {
                               return block[k] != expected[k];
                           })};
        });
}

std::vector<std::uint8_t> UnreadFlash(std::uint32_t end) {
    if (end >= kImageCapacity) return {};
    return std::vector<std::uint8_t>(std::size_t{end} + 1, kReadBackFill);
}

FlashReadBack ReadBackRange(FlashTarget& target, FlashRun& run, std::uint32_t start,
                            std::uint32_t end) {
    FlashReadBack readBack{false, UnreadFlash(end)};
    std::vector<std::uint8_t>& buffer = readBack.bytes;
    if (buffer.empty()) {
        run.reporter.ProcessInfo("Read range ends past 0x" + Hex6(kImageCapacity - 1));
        return readBack;
    }
    std::fill_n(buffer.begin(), std::min(start, end + 1), 0);
    Block first{};
    Block second{};
    readBack.complete = WalkBlocks(
        run, start, end, FlashStage::kReadBack, kVerifyTexts, [&](std::uint32_t address) {
            first.fill(0);
            if (!FlashReadBlock(target.usb, address, kReadBlockSize, first.data())) {
                return Reading{};
            }
            const std::size_t kept = std::min<std::size_t>(kReadBlockSize, buffer.size() - address);
            std::copy_n(first.begin(), kept, buffer.begin() + address);
            // A second reading that fails cannot confirm the first.
            if (!FlashReadBlock(target.usb, address, kReadBlockSize, second.data())) {
                return Reading{true, 0};
            }
            const auto differs = std::mismatch(first.begin(), first.end(), second.begin());
            if (differs.first == first.end()) return Reading{true, std::nullopt};
            return Reading{true, static_cast<std::uint32_t>(differs.first - first.begin())};
        });
    return readBack;
}

}  // namespace qv

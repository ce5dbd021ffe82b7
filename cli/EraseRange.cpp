#include "cli/EraseRange.h"

#include "flash/FlashErase.h"

namespace qv {
namespace {

constexpr std::uint64_t kSectorKiB = kSectorSize / 1024;

}  // namespace

std::string FlashRangeText(std::uint64_t start, std::uint64_t end) {
    return "0x" + Hex6(static_cast<std::uint32_t>(start)) + " to 0x" +
           Hex6(static_cast<std::uint32_t>(end - 1));
}

std::optional<EraseRangePlan> PlanEraseRange(const EraseRangeArguments& arguments,
                                             std::string& refusal) {
    if (!arguments.startKiB && !arguments.sizeKiB) return EraseRangePlan{};
    if (!arguments.sizeKiB) {
        refusal = "--start needs --size: how many KiB to erase";
        return std::nullopt;
    }
    if (!arguments.startKiB) {
        refusal = "--size needs --start: where the erase begins, in KiB";
        return std::nullopt;
    }
    const std::uint64_t start = *arguments.startKiB;
    const std::uint64_t end = start + *arguments.sizeKiB;
    if (*arguments.sizeKiB == 0) {
        refusal = "--size 0 erases nothing; give the KiB to erase";
        return std::nullopt;
    }
    if (end * 1024 > kFlashAddressSpace) {
        refusal = "the range passes the 16 MiB flash address space";
        return std::nullopt;
    }
    const std::uint64_t alignedStart = start / kSectorKiB * kSectorKiB;
    const std::uint64_t alignedEnd = (end + kSectorKiB - 1) / kSectorKiB * kSectorKiB;
    if ((alignedStart != start || alignedEnd != end) && !arguments.align) {
        refusal =
            "the flash erases whole 4 KiB sectors: " + FlashRangeText(start * 1024, end * 1024) +
            " would erase " + FlashRangeText(alignedStart * 1024, alignedEnd * 1024) +
            "; give --start and --size in multiples of 4, or add --align to erase those "
            "sectors";
        return std::nullopt;
    }
    return EraseRangePlan{false, static_cast<std::uint32_t>(alignedStart),
                          static_cast<std::uint32_t>(alignedEnd - alignedStart)};
}

}  // namespace qv

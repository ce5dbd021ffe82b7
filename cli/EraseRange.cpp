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

Expected<EraseRangePlan> PlanEraseRange(const EraseRangeArguments& arguments) {
    const auto refuse = [](std::string why) {
        return Problem{FailureKind::kOther, std::move(why)};
    };
    if (!arguments.startKiB && !arguments.sizeKiB) return EraseRangePlan{};
    if (!arguments.sizeKiB) return refuse("--start needs --size: how many KiB to erase");
    if (!arguments.startKiB) return refuse("--size needs --start: where the erase begins, in KiB");
    const std::uint64_t start = *arguments.startKiB;
    const std::uint64_t end = start + *arguments.sizeKiB;
    if (*arguments.sizeKiB == 0) return refuse("--size 0 erases nothing; give the KiB to erase");
    if (end * 1024 > kFlashAddressSpace)
        return refuse("the range passes the 16 MiB flash address space");
    const std::uint64_t alignedStart = start / kSectorKiB * kSectorKiB;
    const std::uint64_t alignedEnd = (end + kSectorKiB - 1) / kSectorKiB * kSectorKiB;
    if ((alignedStart != start || alignedEnd != end) && !arguments.align) {
        return refuse(
            "the flash erases whole 4 KiB sectors: " + FlashRangeText(start * 1024, end * 1024) +
            " would erase " + FlashRangeText(alignedStart * 1024, alignedEnd * 1024) +
            "; give --start and --size in multiples of 4, or add --align to erase "
            "those sectors");
    }
    return EraseRangePlan{false, static_cast<std::uint32_t>(alignedStart),
                          static_cast<std::uint32_t>(alignedEnd - alignedStart)};
}

}  // namespace qv

#include "flash/ProgramRange.h"

#include <algorithm>
#include <array>

#include "flash/FlashWaits.h"

namespace qv {
namespace {

// Sends one block once the flash is idle, then gives the chip up to 10 ms to finish the
// transfer. False when the flash stayed busy, a command did not go through or the device
// stopped answering.
bool ProgramBlock(FlashContext& context, std::uint32_t address, std::uint16_t count,
                  const std::uint8_t* data) {
    const bool idle = WaitFlashIdle(context, FlashWaitFor::kPageProgram);
    const bool enabled = FlashWriteEnable(context.usb);
    context.reporter.ProcessAddress("0x" + Hex6(address));
    context.reporter.Pump();
    if (!idle || !enabled) return false;
    if (!FlashProgramBlock(context.usb, address, count, data)) return false;
    for (int poll = 0; poll < kReadyPollLimit && !context.usb.StoppedAnswering(); ++poll) {
        context.usb.Api().Sleep(kIdlePollSleepMs);
        if (FlashPollReady(context.usb)) break;
    }
    return !context.usb.StoppedAnswering();
}

}  // namespace

bool ProgramRange(FlashContext& context, std::uint32_t start, std::uint32_t end) {
    if (context.programBlockSize == 0) ReadIdAndChooseBlockSize(context);
    const std::uint16_t n = context.programBlockSize;
    std::array<std::uint8_t, kPageBlockSize> block{};
    if (n > block.size()) {
        context.reporter.ProcessInfo("Programming Fail: block size " + std::to_string(n));
        return false;
    }
    for (std::uint64_t a = start; a < end; a += n) {
        const auto address = static_cast<std::uint32_t>(a);
        // Between blocks: a page is never left half-sent.
        if (context.stopRequested) {
            context.stoppedAt = address;
            return false;
        }
        CopyImageBytes(context, a - start, n, block.data());
        if (std::all_of(block.begin(), block.begin() + n, [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        if (!ProgramBlock(context, address, n, block.data())) {
            context.reporter.ProcessInfo("Programming Fail at 0x" + Hex6(address));
            return false;
        }
        context.reporter.Progress(FlashStage::kProgram, std::min<std::uint64_t>(a + n, end) - start,
                                  end - start);
    }
    return true;
}

}  // namespace qv

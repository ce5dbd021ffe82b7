#include "flash/ProgramRange.h"

#include <algorithm>
#include <array>

#include "flash/FlashWaits.h"

namespace qv {
namespace {

// Sends one block once the flash is idle, then gives the chip up to 10 ms to finish the
// transfer. False when the flash stayed busy, a command did not go through or the device
// stopped answering.
bool ProgramBlock(FlashTarget& target, FlashReporter& reporter, std::uint32_t address,
                  std::uint16_t count, const std::uint8_t* data) {
    const bool idle = WaitFlashIdle(target, FlashWaitFor::kPageProgram);
    const bool enabled = FlashWriteEnable(target.usb);
    reporter.ProcessAddress("0x" + Hex6(address));
    reporter.Pump();
    if (!idle || !enabled) return false;
    if (!FlashProgramBlock(target.usb, address, count, data)) return false;
    for (int poll = 0; poll < kReadyPollLimit && !target.usb.StoppedAnswering(); ++poll) {
        target.usb.Api().Sleep(kIdlePollSleepMs);
        if (FlashPollReady(target.usb)) break;
    }
    return !target.usb.StoppedAnswering();
}

}  // namespace

bool ProgramRange(FlashTarget& target, FlashRun& run, std::uint32_t start, std::uint32_t end) {
    if (target.programBlockSize == 0) ReadIdAndChooseBlockSize(target);
    const std::uint16_t n = target.programBlockSize;
    std::array<std::uint8_t, kPageBlockSize> block{};
    if (n > block.size()) {
        run.reporter.ProcessInfo("Programming Fail: block size " + std::to_string(n));
        return false;
    }
    for (std::uint64_t a = start; a < end; a += n) {
        const auto address = static_cast<std::uint32_t>(a);
        // Between blocks: a page is never left half-sent.
        if (run.stopRequested) {
            run.stoppedAt = address;
            return false;
        }
        CopyImageBytes(target.image, a - start, n, block.data());
        if (std::all_of(block.begin(), block.begin() + n, [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        if (!ProgramBlock(target, run.reporter, address, n, block.data())) {
            run.reporter.ProcessInfo("Programming Fail at 0x" + Hex6(address));
            return false;
        }
        run.reporter.Progress(FlashStage::kProgram, std::min<std::uint64_t>(a + n, end) - start,
                              end - start);
    }
    return true;
}

}  // namespace qv

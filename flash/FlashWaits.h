#pragma once
// Waiting for the flash: polling its status register until the write-in-progress bit clears,
// for no longer than the part may take.

#include <cstdint>
#include <functional>
#include <optional>

#include "flash/FlashTarget.h"

namespace qv {

inline constexpr int kErasePollLimit = 1000;  // the fewest polls of any erase wait
inline constexpr std::uint32_t kErasePollSleepMs = 10;
inline constexpr int kIdlePollLimit = 101;  // before each program block
inline constexpr std::uint32_t kIdlePollSleepMs = 1;
// A part's datasheet maximum times this bounds a wait for it.
inline constexpr std::uint64_t kWaitMargin = 2;

// What the flash is busy with, so which of the part's times bounds the wait.
enum class FlashWaitFor { kChipErase, kSectorErase, kPageProgram, kStatusWrite };

// "the chip erase", for progress texts.
const char* WaitName(FlashWaitFor what);

// How long a wait may last. For a part the table knows: kWaitMargin times its datasheet maximum
// for the operation, in the bus's time. For a part it does not know, or no id: a number of
// polls, as many as ever (a chip erase: ChipErasePollLimit).
struct WaitBound {
    std::optional<std::uint64_t> micros;
    std::optional<int> polls;
    std::uint32_t sleepMs = 0;  // between two busy answers
};
WaitBound BoundFor(const FlashPart* part, FlashWaitFor what);

// One status read of a wait.
struct WaitPoll {
    int poll = 0;  // from 0
    std::uint8_t status = 0;
    std::uint64_t elapsedMicros = 0;  // since the wait began
    WaitBound bound;
};
using StatusPollObserver = std::function<void(const WaitPoll&)>;

// Reads the status until the busy bit is clear (true) or the bound is reached (false),
// sleeping after each busy answer; bounded by the part whose id the target knows. An
// unanswered read gives 0xFF and so counts as busy; a device that stopped answering ends the
// wait at once.
bool WaitFlashIdle(FlashTarget& target, FlashWaitFor what, const StatusPollObserver& observer = {});

// Polls 10 ms apart that a chip erase of a part the table does not know may take: as long as
// the largest flash may (MaxChipEraseMicros), never fewer than kErasePollLimit.
int ChipErasePollLimit();

// Write enable, write status `value`, then wait for the status write. True when both
// commands went through and the flash became idle. `lastStatus` receives each status read, so
// it ends with the idle status or the last busy one. No polls when a command failed.
bool SetFlashStatusAndWait(FlashTarget& target, std::uint8_t value,
                           std::uint8_t* lastStatus = nullptr);

}  // namespace qv

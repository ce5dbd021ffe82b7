#pragma once
// Waiting for the flash: polling its status register until the write-in-progress bit clears.

#include <cstdint>
#include <functional>

#include "flash/FlashContext.h"

namespace qv {

inline constexpr int kErasePollLimit = 1000;  // the fewest polls of any erase wait
inline constexpr std::uint32_t kErasePollSleepMs = 10;
inline constexpr int kIdlePollLimit = 101;  // before each program block
inline constexpr std::uint32_t kIdlePollSleepMs = 1;

// Called with the poll number (from 0) and the status read.
using StatusPollObserver = std::function<void(int poll, std::uint8_t status)>;

// Reads the status up to `limit` times, sleeping `sleepMs` after each busy answer. True as soon
// as the busy bit is clear. An unanswered read gives 0xFF and so counts as busy; a device that
// stopped answering ends the wait at once.
bool WaitFlashIdle(FlashContext& context, int limit, std::uint32_t sleepMs,
                   const StatusPollObserver& observer = {});

// Polls 10 ms apart that a chip erase may take: the datasheet maximum of the part the id names,
// or of the largest flash for a part the table does not know or no id (null); never fewer than
// kErasePollLimit.
int ChipErasePollLimit(const FlashId* id);

// Write enable, write status `value`, then up to 1000 polls 10 ms apart. True when both
// commands went through and the flash became idle. `lastStatus` receives each status read, so
// it ends with the idle status or the last busy one. No polls when a command failed.
bool SetFlashStatusAndWait(FlashContext& context, std::uint8_t value,
                           std::uint8_t* lastStatus = nullptr);

}  // namespace qv

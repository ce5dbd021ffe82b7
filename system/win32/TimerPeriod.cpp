#include "system/win32/TimerPeriod.h"

// windows.h first: timeapi.h builds on its types.
#include <windows.h>
// (kept apart so that include sorting leaves the order)
#include <timeapi.h>

namespace qv {

TimerPeriod::TimerPeriod(std::uint32_t milliseconds)
    : milliseconds_(milliseconds), raised_(timeBeginPeriod(milliseconds) == TIMERR_NOERROR) {}

TimerPeriod::~TimerPeriod() {
    if (raised_) timeEndPeriod(milliseconds_);
}

}  // namespace qv

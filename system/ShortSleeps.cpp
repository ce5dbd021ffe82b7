#include "system/ShortSleeps.h"

#ifdef _WIN32
#include "system/win32/TimerPeriod.h"
#endif

namespace qv {

void KeepShortSleepsShort() {
#ifdef _WIN32
    static const TimerPeriod forProcess(1);
#endif
}

}  // namespace qv

#pragma once
// Sleeps of a millisecond or ten that last about what they ask for.

namespace qv {

// Where the system's default timer tick is coarse (15.6 ms on Windows), raises its resolution to
// 1 ms for the rest of the process: an update waits 1 ms and 10 ms hundreds of times, on the bus
// as on a virtual device in real time, and each wait would otherwise last a whole tick.
void KeepShortSleepsShort();

}  // namespace qv

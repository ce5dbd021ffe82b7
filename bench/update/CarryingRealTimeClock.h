#pragma once
// Real time in which each sleep's overshoot is taken off the next sleep, so that a run of
// 125 us transfers lasts 125 us each on average however late the system wakes the process.
// This is how the virtual bus could charge its per-transfer latency; the benchmark uses it to
// show what the floor is reachable with once that overshoot no longer adds up.

#include <cstdint>

#include "sim/Clock.h"

namespace qv::bench {

class CarryingRealTimeClock final : public sim::Clock {
  public:
    std::uint64_t NowMicros() const override { return real_.NowMicros(); }
    void SleepMicros(std::uint64_t micros) override {
        const std::uint64_t now = NowMicros();
        // Time the caller spent on its own since the last wake-up is not carried.
        if (now > due_ + kCarryLimitMicros) due_ = now;
        due_ += micros;
        if (due_ > now) real_.SleepMicros(due_ - now);
    }

  private:
    static constexpr std::uint64_t kCarryLimitMicros = 200;
    sim::RealTimeClock real_;
    std::uint64_t due_ = 0;
};

}  // namespace qv::bench

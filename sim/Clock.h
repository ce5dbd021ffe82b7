#pragma once
// Device time for the virtual device. Virtual time advances only when someone sleeps or a
// transfer's latency is charged, so tests of long time-outs take no wall time; real time
// follows the steady clock and really sleeps, for demos and benchmarks.

#include <cstdint>

namespace qv::sim {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint64_t NowMicros() const = 0;
    virtual void SleepMicros(std::uint64_t micros) = 0;
};

class VirtualClock final : public Clock {
  public:
    std::uint64_t NowMicros() const override { return now_; }
    void SleepMicros(std::uint64_t micros) override { now_ += micros; }

  private:
    std::uint64_t now_ = 0;
};

// Device time that follows the steady clock. Sleeps are charged against a running deadline:
// when the system wakes the process late, the next sleep is shortened by as much, so a run of
// 125 us transfers lasts 125 us each on average, as on a device with that latency. Time the
// caller spends on its own is not carried beyond a small limit.
class RealTimeClock final : public Clock {
  public:
    static constexpr std::uint64_t kCarryLimitMicros = 200;

    RealTimeClock();
    std::uint64_t NowMicros() const override;
    void SleepMicros(std::uint64_t micros) override;

  private:
    std::int64_t originNanos_;
    std::uint64_t deadline_ = 0;
};

}  // namespace qv::sim

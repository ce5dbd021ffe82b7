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
    // Moves time to at least `micros` (used to charge latency without oversleeping).
    virtual void SleepUntil(std::uint64_t micros) {
        const std::uint64_t now = NowMicros();
        if (micros > now) SleepMicros(micros - now);
    }
};

class VirtualClock final : public Clock {
  public:
    std::uint64_t NowMicros() const override { return now_; }
    void SleepMicros(std::uint64_t micros) override { now_ += micros; }

  private:
    std::uint64_t now_ = 0;
};

class RealTimeClock final : public Clock {
  public:
    RealTimeClock();
    std::uint64_t NowMicros() const override;
    void SleepMicros(std::uint64_t micros) override;

  private:
    std::int64_t originNanos_;
};

}  // namespace qv::sim

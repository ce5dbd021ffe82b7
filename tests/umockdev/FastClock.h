#pragma once
// Device time for the emulated chips: the steady clock, sped up, so that a chip erase of
// seconds is over after the first few status polls while the host sleeps in real time.

#include <chrono>
#include <cstdint>
#include <thread>

#include "sim/Clock.h"

namespace qv::test {

class FastClock final : public sim::Clock {
  public:
    static constexpr std::uint64_t kSpeedUp = 200;

    std::uint64_t NowMicros() const override {
        const auto elapsed = std::chrono::steady_clock::now() - origin_;
        return kSpeedUp *
               static_cast<std::uint64_t>(
                   std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
    }
    void SleepMicros(std::uint64_t micros) override {
        std::this_thread::sleep_for(std::chrono::microseconds(micros / kSpeedUp));
    }

  private:
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace qv::test

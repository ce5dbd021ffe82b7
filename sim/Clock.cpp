#include "sim/Clock.h"

#include <chrono>
#include <thread>

namespace qv::sim {
namespace {
std::int64_t SteadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

RealTimeClock::RealTimeClock() : originNanos_(SteadyNanos()) {}

std::uint64_t RealTimeClock::NowMicros() const {
    return static_cast<std::uint64_t>((SteadyNanos() - originNanos_) / 1000);
}

void RealTimeClock::SleepMicros(std::uint64_t micros) {
    const std::uint64_t now = NowMicros();
    if (now > deadline_ + kCarryLimitMicros) deadline_ = now;
    deadline_ += micros;
    if (deadline_ > now) std::this_thread::sleep_for(std::chrono::microseconds(deadline_ - now));
}

}  // namespace qv::sim

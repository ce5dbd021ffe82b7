#pragma once
// Raises the system timer resolution while the object lives, so that short sleeps last about
// what they ask for instead of a whole default tick (15.6 ms).

#include <cstdint>

namespace qv {

class TimerPeriod {
  public:
    explicit TimerPeriod(std::uint32_t milliseconds);
    ~TimerPeriod();
    TimerPeriod(const TimerPeriod&) = delete;
    TimerPeriod& operator=(const TimerPeriod&) = delete;

    // False when the system refused the period; sleeps then keep the default resolution.
    bool raised() const { return raised_; }

  private:
    std::uint32_t milliseconds_;
    bool raised_;
};

}  // namespace qv

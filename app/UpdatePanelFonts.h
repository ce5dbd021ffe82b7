#pragma once
// The update panel's status text: steps and a failure in 12 points, the outcome in 16.

namespace qv {

inline constexpr int kStepPointSize = 12;
inline constexpr int kOutcomePointSize = 16;

}  // namespace qv

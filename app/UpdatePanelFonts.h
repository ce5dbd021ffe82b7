#pragma once
// The update panel's status text: steps and a failure in 12 points, the outcome in 16.

class QColor;
class QLabel;

namespace qv {

inline constexpr int kStepPointSize = 12;
inline constexpr int kOutcomePointSize = 16;

// Sets the status text's size and colour.
void StyleLabel(QLabel* label, int pointSize, const QColor& color);

}  // namespace qv

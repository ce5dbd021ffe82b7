#include "app/DeviceWorkScope.h"

namespace qv {

DeviceWorkScope::DeviceWorkScope(bool& autoSequenceRunning, const std::vector<QWidget*>& controls,
                                 std::function<void()> ended)
    : autoSequenceRunning_(autoSequenceRunning),
      wasRunning_(autoSequenceRunning),
      ended_(std::move(ended)) {
    autoSequenceRunning_ = true;
    for (QWidget* control : controls) {
        controls_.emplace_back(control, !control->testAttribute(Qt::WA_ForceDisabled));
        control->setEnabled(false);
    }
}

DeviceWorkScope::~DeviceWorkScope() {
    for (const auto& [control, enabled] : controls_) {
        if (control) control->setEnabled(enabled);
    }
    autoSequenceRunning_ = wasRunning_;
    if (!wasRunning_ && ended_) ended_();
}

}  // namespace qv

#include "app/DeviceWorkScope.h"

namespace qv {

DeviceWorkScope::DeviceWorkScope(bool& autoSequenceRunning, const std::vector<QWidget*>& controls)
    : autoSequenceRunning_(autoSequenceRunning), wasRunning_(autoSequenceRunning) {
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
}

}  // namespace qv

#pragma once
// Long device work lets window messages run, so a click could start other device work in the
// middle of it. While a scope is alive, detection pauses (autoSequenceRunning) and the given
// controls are disabled. Both return to what they were when the scope ends, so an inner scope
// leaves them as the outer one set them. When the outermost scope ends, `ended` runs (the
// window closes then if it was asked to while the work ran).

#include <QPointer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace qv {

class DeviceWorkScope {
  public:
    DeviceWorkScope(bool& autoSequenceRunning, const std::vector<QWidget*>& controls,
                    std::function<void()> ended = {});
    ~DeviceWorkScope();
    DeviceWorkScope(const DeviceWorkScope&) = delete;
    DeviceWorkScope& operator=(const DeviceWorkScope&) = delete;

  private:
    bool& autoSequenceRunning_;
    bool wasRunning_;
    // Each control with its own enabled setting (not the one inherited from its parent).
    std::vector<std::pair<QPointer<QWidget>, bool>> controls_;
    std::function<void()> ended_;
};

}  // namespace qv

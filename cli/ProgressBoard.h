#pragma once
// Progress of several devices at once: on a terminal one line per device, redrawn in place;
// elsewhere one line per step, each with its device's label. Safe to call from any thread.

#include <chrono>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

namespace qv {

class ProgressBoard {
  public:
    ProgressBoard(std::ostream& out, bool terminal, std::vector<std::string> labels);
    ~ProgressBoard();
    ProgressBoard(const ProgressBoard&) = delete;
    ProgressBoard& operator=(const ProgressBoard&) = delete;

    // The status of device `row`; step lines (`step` true) are printed off a terminal too.
    void Set(std::size_t row, const std::string& status, bool step);

  private:
    void Draw();

    std::ostream& out_;
    bool terminal_;
    std::vector<std::string> labels_;
    std::vector<std::string> statuses_;
    std::mutex mutex_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace qv

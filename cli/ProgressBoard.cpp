#include "cli/ProgressBoard.h"

#include <ostream>

namespace qv {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& out, bool terminal, std::vector<std::string> labels)
    : out_(out),
      terminal_(terminal),
      labels_(std::move(labels)),
      statuses_(labels_.size(), "waiting") {
    if (terminal_) Draw();
}

ProgressBoard::~ProgressBoard() {
    if (!terminal_) return;
    std::lock_guard lock(mutex_);
    Draw();
}

void ProgressBoard::Set(std::size_t row, const std::string& status, bool step) {
    std::lock_guard lock(mutex_);
    statuses_.at(row) = status;
    if (!terminal_) {
        if (step) out_ << labels_[row] << ": " << status << '\n' << std::flush;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (step || now - lastDraw_ >= kRedrawInterval) Draw();
}

void ProgressBoard::Draw() {
    lastDraw_ = std::chrono::steady_clock::now();
    // Back to the first row, then each row cleared and written again.
    if (drawn_) out_ << "\x1b[" << labels_.size() << 'A';
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        out_ << "\r\x1b[2K" << labels_[i] << "  " << statuses_[i] << '\n';
    }
    out_ << std::flush;
    drawn_ = true;
}

}  // namespace qv

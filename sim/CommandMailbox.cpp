#include "sim/CommandMailbox.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr std::uint8_t kCommandParameter = 0x10;
constexpr std::uint8_t kParameterDone = 0xEE;
constexpr std::uint8_t kCommandHidKey = 0x30;
constexpr std::uint8_t kHidKeyDone = 0x31;
constexpr std::uint8_t kRegSelector = 0x91;
constexpr std::uint8_t kRegIndex = 0x92;
constexpr std::uint8_t kRegData = 0x93;

}  // namespace

// Any write replaces a command still running; values that are no command are only stored.
void CommandMailbox::WriteCommand(std::uint8_t value) {
    Settle();
    bank0_[kRegCommand] = value;
    pending_.reset();
    if (silent_ || !firmwareRunning_) return;
    if (value != kCommandParameter && value != kCommandHidKey) return;
    Pending pending{value, bank0_[kRegSelector], bank0_[kRegIndex], {}, clock_.NowMicros()};
    std::copy_n(bank0_.begin() + kRegData, pending.data.size(), pending.data.begin());
    pending.due += value == kCommandParameter ? kParameterMicros : kHidKeyMicros;
    pending_ = pending;
}

std::uint8_t CommandMailbox::ReadCommand() {
    Settle();
    return bank0_[kRegCommand];
}

void CommandMailbox::Settle() {
    if (!pending_ || clock_.NowMicros() < pending_->due) return;
    const Pending pending = *pending_;
    pending_.reset();
    Complete(pending);
}

void CommandMailbox::Finish() {
    if (!pending_) return;
    const Pending pending = *pending_;
    pending_.reset();
    Complete(pending);
}

void CommandMailbox::Complete(const Pending& pending) {
    if (pending.command == kCommandHidKey) {
        hidKeys_.push_back(pending.selector);
        bank0_[kRegCommand] = kHidKeyDone;
        return;
    }
    ParameterStore::Chunk data = pending.data;
    if (!parameters_.Access(pending.selector, pending.index, data)) return;
    std::copy(data.begin(), data.end(), bank0_.begin() + kRegData);
    bank0_[kRegCommand] = kParameterDone;
}

}  // namespace qv::sim

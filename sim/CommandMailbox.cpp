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
    if (silent_) return;
    const std::uint64_t now = clock_.NowMicros();
    if (value == kCommandParameter) {
        pending_ = Pending{value, bank0_[kRegSelector], bank0_[kRegIndex], now + kParameterMicros};
    } else if (value == kCommandHidKey) {
        pending_ = Pending{value, bank0_[kRegSelector], 0, now + kHidKeyMicros};
    }
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

// Selector and index are taken when the command is written, the data registers when it is
// carried out.
void CommandMailbox::Complete(const Pending& pending) {
    if (pending.command == kCommandHidKey) {
        hidKeys_.push_back(pending.selector);
        bank0_[kRegCommand] = kHidKeyDone;
        return;
    }
    ParameterStore::Chunk data{};
    std::copy_n(bank0_.begin() + kRegData, data.size(), data.begin());
    if (!parameters_.Access(pending.selector, pending.index, data)) return;
    std::copy(data.begin(), data.end(), bank0_.begin() + kRegData);
    bank0_[kRegCommand] = kParameterDone;
}

}  // namespace qv::sim

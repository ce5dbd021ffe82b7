#pragma once
// The firmware's command register 0x90 of bank 0. Writing a known command starts it with the
// selector, index and data registers as they are at that moment; the firmware answers after a
// delay in device time by putting its completion code into 0x90: parameter command 0x10
// (selector 0x91, index 0x92, data 0x93-0x9A) answers 0xEE after 15 ms, HID key command 0x30
// (key in 0x91) answers 0x31 after 5 ms. A bare chip runs no firmware and answers nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/Clock.h"
#include "sim/ParameterStore.h"

namespace qv::sim {

class CommandMailbox {
  public:
    static constexpr std::uint8_t kRegCommand = 0x90;
    static constexpr std::uint64_t kParameterMicros = 15'000;
    static constexpr std::uint64_t kHidKeyMicros = 5'000;

    using Bank = std::array<std::uint8_t, 256>;

    CommandMailbox(Clock& clock, Bank& bank0, ParameterStore& parameters)
        : clock_(clock), bank0_(bank0), parameters_(parameters) {}

    void WriteCommand(std::uint8_t value);
    std::uint8_t ReadCommand();
    // Completes a command whose time has come.
    void Settle();
    // Completes a running command now, as if its time had come.
    void Finish();

    const std::vector<std::uint8_t>& HidKeys() const { return hidKeys_; }
    // Fault: commands are accepted but never answered.
    void SetSilent(bool silent) { silent_ = silent; }
    void SetFirmwareRunning(bool running) { firmwareRunning_ = running; }

  private:
    struct Pending {
        std::uint8_t command = 0;
        std::uint8_t selector = 0;
        std::uint8_t index = 0;
        ParameterStore::Chunk data{};
        std::uint64_t due = 0;
    };

    void Complete(const Pending& pending);

    Clock& clock_;
    Bank& bank0_;
    ParameterStore& parameters_;
    std::optional<Pending> pending_;
    std::vector<std::uint8_t> hidKeys_;
    bool silent_ = false;
    bool firmwareRunning_ = true;
};

}  // namespace qv::sim

#pragma once
// A catalogue product with a virtual QV4820 on a virtual bus in virtual time, reached through a
// real link, with a reporter that records every text and can act at each pump.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "flash/FlashRun.h"
#include "flash/FlashSelection.h"
#include "flash/FlashTarget.h"
#include "sim/Qv4820Model.h"
#include "sim/VirtualBus.h"
#include "usb/QuorvexUsb.h"

namespace qv {

class RecordingReporter final : public FlashReporter {
  public:
    std::vector<std::string> processInfo;
    std::vector<std::string> processAddress;
    std::vector<std::string> statusRegister;
    std::vector<std::string> stepText;
    int pumps = 0;
    std::function<void()> onPump;                    // runs inside each pump, like a click
    std::function<void(const std::string&)> onStep;  // runs when a step text is shown

    void ProcessInfo(std::string_view text) override { processInfo.emplace_back(text); }
    void ProcessAddress(std::string_view text) override { processAddress.emplace_back(text); }
    void StatusRegister(std::string_view text) override { statusRegister.emplace_back(text); }
    void StepText(std::string_view text) override {
        stepText.emplace_back(text);
        if (onStep) onStep(stepText.back());
    }
    void Progress(FlashStage, std::uint64_t, std::uint64_t) override {}
    void Pump() override {
        ++pumps;
        if (onPump) onPump();
    }
    std::vector<std::pair<FlashStep, StepReason>> failures;
    std::vector<std::pair<FlashStep, StepReason>> warnings;
    std::vector<std::string> notes;
    void StepFailed(FlashStep step, const StepReason& reason) override {
        failures.emplace_back(step, reason);
    }
    void Warning(FlashStep step, const StepReason& reason) override {
        warnings.emplace_back(step, reason);
    }
    void Note(std::string_view text) override { notes.emplace_back(text); }

    std::string LastInfo() const { return processInfo.empty() ? "" : processInfo.back(); }
    std::string LastStep() const { return stepText.empty() ? "" : stepText.back(); }
    bool SawInfo(const std::string& text) const {
        return std::find(processInfo.begin(), processInfo.end(), text) != processInfo.end();
    }
};

// One vendor request that reached the chip.
struct SentRequest {
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::vector<std::uint8_t> data;
};

class FlashFixture : public ::testing::Test {
  protected:
    explicit FlashFixture(sim::FlashPreset preset = sim::FlashPreset::kCommon2MiB)
        : chip(std::make_shared<sim::Qv4820Model>(clock, preset)) {}
    explicit FlashFixture(const sim::FlashConfig& flash)
        : chip(std::make_shared<sim::Qv4820Model>(clock, flash)) {}

    void SetUp() override {
        device = bus.AttachProduct("vid_a7d6&pid_f017", chip);
        usb.SetPropertyMode(true);
        usb.SetIdText("vid_a7d6&pid_f017");
        ASSERT_TRUE(usb.Find());
        bus.ClearLog();
        image.data.assign(kImageCapacity, 0xFF);  // room for any image a test builds
    }

    // `length` bytes of random data with runs of 0xFF, as a program file leaves them.
    void LoadRandomImage(std::uint32_t length, unsigned seed = 7) {
        std::mt19937 random(seed);
        for (std::uint32_t i = 0; i < length; ++i) {
            image.data[i] = (i / 512) % 3 == 2 ? 0xFF : static_cast<std::uint8_t>(random());
        }
        image.length = length;
    }

    std::vector<std::uint8_t> FlashBytes(std::uint32_t address, std::uint32_t count) const {
        const auto& cells = chip->Flash().Contents();
        return {cells.begin() + address, cells.begin() + address + count};
    }
    std::vector<std::uint8_t> ImageBytes(std::uint32_t count) const {
        return {image.data.begin(), image.data.begin() + count};
    }

    std::vector<SentRequest> Requests() const {
        std::vector<SentRequest> requests;
        for (const auto& record : bus.Log()) {
            if (!record.setup) continue;
            requests.push_back(
                {record.setup->request, record.setup->value, record.setup->index, record.data});
        }
        return requests;
    }
    // Flash instructions sent with request 0x80 or 0x81 whose first data byte is `opcode`.
    std::vector<SentRequest> FlashInstructions(std::uint8_t opcode) const {
        std::vector<SentRequest> found;
        for (const auto& r : Requests()) {
            if ((r.request == 0x80 || r.request == 0x81) && !r.data.empty() &&
                r.data[0] == opcode) {
                found.push_back(r);
            }
        }
        return found;
    }
    static std::uint32_t AddressOf(const SentRequest& r) {
        return (std::uint32_t{r.data.at(1)} << 16) | (std::uint32_t{r.data.at(2)} << 8) |
               r.data.at(3);
    }
    // Page-program data transfers: request 0x80, index 1, following a 0x02 header.
    std::vector<std::size_t> ProgramDataLengths() const {
        std::vector<std::size_t> lengths;
        const auto requests = Requests();
        for (std::size_t i = 1; i < requests.size(); ++i) {
            const auto& header = requests[i - 1];
            if (header.request == 0x80 && header.index == 0 && header.data.at(0) == 0x02) {
                lengths.push_back(requests[i].data.size());
            }
        }
        return lengths;
    }

    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    std::shared_ptr<sim::Qv4820Model> chip;
    sim::DeviceId device = 0;
    QuorvexUsb usb{bus};
    FirmwareImage image;
    RecordingReporter reporter;
    FlashTarget target{usb, image};
    FlashSelection selection;
    FlashRun run{reporter};
};

}  // namespace qv

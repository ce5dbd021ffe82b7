#include "stack/DeviceStack.h"

#include "platform/RecordingDeviceApi.h"
#include "platform/ReplayDeviceApi.h"
#include "platform/SystemDeviceApi.h"
#include "system/ShortSleeps.h"

namespace qv {

std::unique_ptr<DeviceStack> DeviceStack::Build(const DeviceStackOptions& options,
                                                StackProblem& problem) {
    std::unique_ptr<DeviceStack> stack(new DeviceStack);
    if (!options.virtualDevices.empty()) {
        if (!stack->BuildVirtualDevices(options, problem)) return nullptr;
    } else if (!options.replayFile.empty()) {
        if (!stack->BuildReplay(options.replayFile, problem)) return nullptr;
    } else {
        stack->BuildSystemBus(options.systemLockWait);
    }
    if (!options.ioLog.empty() && !stack->RecordTo(options.ioLog, problem)) return nullptr;
    return stack;
}

DeviceStack::~DeviceStack() = default;

bool DeviceStack::BuildVirtualDevices(const DeviceStackOptions& options, StackProblem& problem) {
    for (const sim::SimulationOptions& device : options.virtualDevices) {
        if (device.realTime) KeepShortSleepsShort();
        std::string error;
        auto refusal = sim::Simulation::Refusal::kOptions;
        std::unique_ptr<sim::Simulation> simulation =
            sim::Simulation::Create(device, error, &refusal);
        if (!simulation) {
            problem = {refusal == sim::Simulation::Refusal::kStateFileInUse
                           ? StackProblem::Kind::kInUse
                       : refusal == sim::Simulation::Refusal::kStateFileRefused
                           ? StackProblem::Kind::kFileRefused
                           : StackProblem::Kind::kUsage,
                       error};
            return false;
        }
        buses_.push_back({.api = &simulation->Bus(), .simulated = true});
        simulations_.push_back(std::move(simulation));
    }
    return true;
}

bool DeviceStack::BuildReplay(const std::string& file, StackProblem& problem) {
    std::string error;
    replay_ = ReplayDeviceApi::Load(file, error);
    if (!replay_) {
        problem = {StackProblem::Kind::kFileRefused, error};
        return false;
    }
    buses_.push_back({.api = replay_.get()});
    return true;
}

void DeviceStack::BuildSystemBus(std::chrono::milliseconds lockWait) {
    systemApi_ = CreateSystemDeviceApi(lockWait);
    buses_.push_back({.api = systemApi_.get(), .systemOwn = true});
}

bool DeviceStack::RecordTo(const std::string& ioLog, StackProblem& problem) {
    for (StackBus& bus : buses_) {
        std::string error;
        std::unique_ptr<RecordingDeviceApi> recorder =
            RecordingDeviceApi::Create(*bus.api, ioLog, error);
        if (!recorder) {
            problem = {StackProblem::Kind::kFileRefused, error};
            return false;
        }
        bus.api = recorder.get();
        bus.systemOwn = false;
        recorders_.push_back(std::move(recorder));
    }
    return true;
}

std::vector<StackProblem> DeviceStack::Finish() {
    std::vector<StackProblem> problems;
    if (replay_) {
        const DeviceResult verdict = replay_->Verdict();
        if (!verdict.ok())
            problems.push_back({StackProblem::Kind::kReplayDiverged, verdict.text()});
    }
    for (const std::unique_ptr<sim::Simulation>& simulation : simulations_) {
        std::string error;
        if (!simulation->SaveState(error))
            problems.push_back({StackProblem::Kind::kFileRefused, error});
    }
    for (const std::unique_ptr<RecordingDeviceApi>& recorder : recorders_) {
        if (!recorder->WriteFailure().empty())
            problems.push_back({StackProblem::Kind::kIoLogCut, recorder->WriteFailure()});
    }
    return problems;
}

}  // namespace qv

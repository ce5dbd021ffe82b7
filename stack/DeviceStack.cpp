#include "stack/DeviceStack.h"

#include "platform/RecordingDeviceApi.h"
#include "platform/ReplayDeviceApi.h"
#include "platform/SystemDeviceApi.h"
#include "system/ShortSleeps.h"

namespace qv {

Expected<std::unique_ptr<DeviceStack>, StackProblem> DeviceStack::Build(
    const DeviceStackOptions& options) {
    std::unique_ptr<DeviceStack> stack(new DeviceStack);
    Expected<void, StackProblem> built;
    if (!options.virtualDevices.empty()) {
        built = stack->BuildVirtualDevices(options);
    } else if (!options.replayFile.empty()) {
        built = stack->BuildReplay(options.replayFile);
    } else {
        stack->BuildSystemBus(options.systemLockWait);
    }
    if (built.ok() && !options.ioLog.empty()) built = stack->RecordTo(options.ioLog);
    if (!built.ok()) return built.problem();
    return stack;
}

DeviceStack::~DeviceStack() = default;

Expected<void, StackProblem> DeviceStack::BuildVirtualDevices(const DeviceStackOptions& options) {
    for (const sim::SimulationOptions& device : options.virtualDevices) {
        if (device.realTime) KeepShortSleepsShort();
        Expected<std::unique_ptr<sim::Simulation>> simulation = sim::Simulation::Create(device);
        if (!simulation.ok()) {
            return StackProblem{simulation.kind() == FailureKind::kBusy ? StackProblem::Kind::kInUse
                                : simulation.kind() == FailureKind::kRefused
                                    ? StackProblem::Kind::kFileRefused
                                    : StackProblem::Kind::kUsage,
                                simulation.text()};
        }
        buses_.push_back({.api = &(*simulation)->Bus(), .simulated = true});
        simulations_.push_back(std::move(*simulation));
    }
    return {};
}

Expected<void, StackProblem> DeviceStack::BuildReplay(const std::string& file) {
    Expected<std::unique_ptr<ReplayDeviceApi>> replay = ReplayDeviceApi::Load(file);
    if (!replay.ok()) return StackProblem{StackProblem::Kind::kFileRefused, replay.text()};
    replay_ = std::move(*replay);
    buses_.push_back({.api = replay_.get()});
    return {};
}

void DeviceStack::BuildSystemBus(std::chrono::milliseconds lockWait) {
    systemApi_ = CreateSystemDeviceApi(lockWait);
    buses_.push_back({.api = systemApi_.get(), .systemOwn = true});
}

Expected<void, StackProblem> DeviceStack::RecordTo(const std::string& ioLog) {
    for (StackBus& bus : buses_) {
        Expected<std::unique_ptr<RecordingDeviceApi>> recorder =
            RecordingDeviceApi::Create(*bus.api, ioLog);
        if (!recorder.ok()) return StackProblem{StackProblem::Kind::kFileRefused, recorder.text()};
        bus.api = recorder->get();
        bus.systemOwn = false;
        recorders_.push_back(std::move(*recorder));
    }
    return {};
}

std::vector<StackProblem> DeviceStack::Finish() {
    std::vector<StackProblem> problems;
    if (replay_) {
        const DeviceResult verdict = replay_->Verdict();
        if (!verdict.ok())
            problems.push_back({StackProblem::Kind::kReplayDiverged, verdict.text()});
    }
    for (const std::unique_ptr<sim::Simulation>& simulation : simulations_) {
        if (const Expected<void> saved = simulation->SaveState(); !saved.ok())
            problems.push_back({StackProblem::Kind::kFileRefused, saved.text()});
    }
    for (const std::unique_ptr<RecordingDeviceApi>& recorder : recorders_) {
        if (!recorder->Written().ok())
            problems.push_back({StackProblem::Kind::kIoLogCut, recorder->Written().text()});
    }
    return problems;
}

}  // namespace qv

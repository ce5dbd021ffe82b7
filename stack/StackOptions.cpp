#include "stack/StackOptions.h"

#include <algorithm>
#include <utility>

#include "sim/SimFaults.h"

namespace qv {
namespace {

std::vector<StackOption> MakeTable() {
    using enum StackOptionId;
    return {
        {.id = kSimulate,
         .names = {"simulate"},
         .valueName = "NAME",
         .valueOptional = true,
         .repeatable = true,
         .help = "Use a virtual device instead of the USB bus: a catalogue product's name, "
                 "firmware base or device id (QV4820-6013 or vid_a7d6&pid_6013 for the second "
                 "product named Quorvex-inc 6012), isp-a7d6 or isp-0c5e (default: Tesmora K2 DAC)"},
        {.id = kIoLog,
         .names = {"io-log", "sim-log"},
         .valueName = "FILE",
         .help = "Append every I/O control sent to the device, on the USB bus or the virtual "
                 "device, to FILE"},
        {.id = kReplay,
         .names = {"replay"},
         .valueName = "FILE",
         .help = "Use a device that answers from a traffic log written with --io-log; the first "
                 "request that differs from the recording fails"},
        {.id = kSimFault,
         .names = {"sim-fault"},
         .valueName = "FAULT",
         .repeatable = true,
         .virtualDevice = true,
         .help = sim::FaultHelp()},
        {.id = kSimAudio,
         .names = {"sim-audio"},
         .valueName = "FORMAT,RATE",
         .virtualDevice = true,
         .help = sim::kSimAudioHelp},
        {.id = kSimFlash,
         .names = {"sim-flash"},
         .valueName = "ID",
         .virtualDevice = true,
         .help = sim::SimFlashHelp()},
        {.id = kSimState,
         .names = {"sim-state"},
         .valueName = "FILE",
         .virtualDevice = true,
         .help = sim::kSimStateHelp},
        {.id = kSimLatency,
         .names = {"sim-latency"},
         .valueName = "US",
         .virtualDevice = true,
         .help = sim::kSimLatencyHelp},
        {.id = kSimVirtualTime,
         .names = {"sim-virtual-time"},
         .virtualDevice = true,
         .help = "Run the virtual device in virtual time: waits take no wall time"},
    };
}

std::string Dashed(StackOptionId id) {
    return "--" + StackOptionFor(id).names.front();
}

bool Given(const std::vector<GivenOption>& given, StackOptionId id) {
    return std::ranges::any_of(given, [id](const GivenOption& g) { return g.id == id; });
}

// Success, or the one refusal of options that cannot go together.
Expected<void> GoTogether(const std::vector<GivenOption>& given) {
    const auto refuse = [](std::string why) {
        return Problem{FailureKind::kOther, std::move(why)};
    };
    const bool simulate = Given(given, StackOptionId::kSimulate);
    for (const GivenOption& option : given) {
        if (!simulate && StackOptionFor(option.id).virtualDevice)
            return refuse(Dashed(option.id) + " needs --simulate");
    }
    if (simulate && Given(given, StackOptionId::kReplay))
        return refuse("--replay and --simulate exclude each other");
    const auto simulates = std::ranges::count(given, StackOptionId::kSimulate, &GivenOption::id);
    if (simulates > 1 && Given(given, StackOptionId::kSimState))
        return refuse("--sim-state keeps one virtual device; give --simulate once");
    return {};
}

// The settings every virtual device shares.
sim::SimulationOptions SharedSettings(const std::vector<GivenOption>& given) {
    sim::SimulationOptions shared;
    for (const GivenOption& option : given) {
        switch (option.id) {
            case StackOptionId::kSimAudio:
                shared.audio = option.value;
                break;
            case StackOptionId::kSimFlash:
                shared.flash = option.value;
                break;
            case StackOptionId::kSimState:
                shared.stateFile = option.value;
                break;
            case StackOptionId::kSimLatency:
                shared.latency = option.value;
                break;
            case StackOptionId::kSimVirtualTime:
                shared.realTime = false;
                break;
            default:
                break;
        }
    }
    return shared;
}

// One virtual device per --simulate, each with the faults that apply to it.
std::vector<sim::SimulationOptions> VirtualDevices(const std::vector<GivenOption>& given) {
    const sim::SimulationOptions shared = SharedSettings(given);
    std::vector<sim::SimulationOptions> devices;
    std::vector<std::string> faultsForAll;
    for (const GivenOption& option : given) {
        if (option.id == StackOptionId::kSimulate) {
            devices.push_back(shared);
            devices.back().product = option.value;
            devices.back().instance = static_cast<int>(devices.size());
        } else if (option.id == StackOptionId::kSimFault) {
            (devices.empty() ? faultsForAll : devices.back().faults).push_back(option.value);
        }
    }
    for (sim::SimulationOptions& device : devices)
        device.faults.insert(device.faults.begin(), faultsForAll.begin(), faultsForAll.end());
    return devices;
}

std::string LastValue(const std::vector<GivenOption>& given, StackOptionId id) {
    std::string value;
    for (const GivenOption& option : given) {
        if (option.id == id) value = option.value;
    }
    return value;
}

}  // namespace

std::span<const StackOption> StackOptions() {
    static const std::vector<StackOption> table = MakeTable();
    return table;
}

const StackOption& StackOptionFor(StackOptionId id) {
    return *std::ranges::find(StackOptions(), id, &StackOption::id);
}

Expected<DeviceStackOptions> ReadStackOptions(const std::vector<GivenOption>& given) {
    if (const Expected<void> together = GoTogether(given); !together.ok())
        return together.problem();
    return DeviceStackOptions{.virtualDevices = VirtualDevices(given),
                              .replayFile = LastValue(given, StackOptionId::kReplay),
                              .ioLog = LastValue(given, StackOptionId::kIoLog)};
}

std::vector<NamedFile> NamedFilesOf(const std::vector<GivenOption>& given) {
    // Messages name the traffic log first, then the state file, then the recording.
    constexpr std::pair<StackOptionId, bool> kFileOptions[] = {{StackOptionId::kIoLog, true},
                                                               {StackOptionId::kSimState, true},
                                                               {StackOptionId::kReplay, false}};
    std::vector<NamedFile> files;
    for (const auto& [id, written] : kFileOptions) {
        for (const GivenOption& option : given) {
            if (option.id == id)
                files.push_back({"--" + StackOptionFor(id).names.front(), option.value, written});
        }
    }
    return files;
}

}  // namespace qv

#pragma once
// The device options both front ends share, in one table: the virtual device (--simulate and
// the --sim-* options), traffic capture (--io-log) and replay (--replay). Each front end offers
// the table's options in its own parser and hands over what was given, in the order given; it
// gets back the options of its device stack, or the refusal both front ends give.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "result/Expected.h"
#include "sim/Simulation.h"
#include "system/NamedFiles.h"
#include "system/ProcessLock.h"

namespace qv {

enum class StackOptionId {
    kSimulate,
    kIoLog,
    kReplay,
    kSimFault,
    kSimAudio,
    kSimFlash,
    kSimState,
    kSimLatency,
    kSimVirtualTime,
};

struct StackOption {
    StackOptionId id;
    std::vector<std::string> names;  // without the dashes; the first is the one messages use
    std::string valueName{};         // "FILE"; empty for a flag
    bool valueOptional = false;      // given as --NAME=VALUE only, so it never takes the next word
    bool repeatable = false;
    bool virtualDevice = false;  // says how to build the virtual device, so it needs --simulate
    std::string help;
};

std::span<const StackOption> StackOptions();
const StackOption& StackOptionFor(StackOptionId id);

struct GivenOption {
    StackOptionId id;
    std::string value;  // empty for a flag and for --simulate without a name
};

// What the device stack is built from.
struct DeviceStackOptions {
    // One per --simulate, in the order given; empty for the system's bus or a replay.
    std::vector<sim::SimulationOptions> virtualDevices;
    std::string replayFile;  // --replay
    std::string ioLog;       // --io-log
    // How long opening a device on the system's bus waits for another program that holds it.
    std::chrono::milliseconds systemLockWait = kLockWait;
};

// The options as given, or the refusal of options that cannot go together. A --sim-fault
// applies to the virtual device of the --simulate before it, or to all of them when it comes
// first; of an option given more than once that takes one value, the last counts.
Expected<DeviceStackOptions> ReadStackOptions(const std::vector<GivenOption>& given);

// The files the given options name: --io-log and --sim-state written, --replay read.
std::vector<NamedFile> NamedFilesOf(const std::vector<GivenOption>& given);

}  // namespace qv

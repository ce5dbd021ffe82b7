#pragma once
// The device interfaces a front end works through, built from its options the same way for the
// window and the command line: a virtual device per --simulate (each on a bus of its own), a
// replayed traffic log, or the system's own bus; each recorded to the --io-log file when asked.

#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "platform/LockingDeviceApi.h"
#include "result/Expected.h"
#include "stack/StackOptions.h"

namespace qv {

class RecordingDeviceApi;
class ReplayDeviceApi;

// One bus of the stack.
struct StackBus {
    DeviceApi* api = nullptr;  // recorded when --io-log is given
    bool simulated = false;
    // The system's own interface, unrecorded: a link on another thread may open one of its own
    // (CreateSystemDeviceApi) instead of sharing this one.
    bool systemOwn = false;
};

struct StackProblem {
    enum class Kind {
        kUsage,           // an option's value names nothing the virtual device has
        kFileRefused,     // a state file, traffic log or replay file that cannot be used
        kReplayDiverged,  // the run went off its recording
        kInUse,           // another program keeps the state file
        kIoLogCut,        // the traffic log could not be written to its end
    };
    Kind kind = Kind::kUsage;
    std::string text;
};

class DeviceStack {
  public:
    // The stack, or what went wrong.
    static Expected<std::unique_ptr<DeviceStack>, StackProblem> Build(
        const DeviceStackOptions& options);
    ~DeviceStack();

    // At least one.
    const std::vector<StackBus>& Buses() const { return buses_; }
    // The system's own bus, whose device locks a command holds across its opens; null for
    // virtual devices and a replay.
    LockingDeviceApi* SystemBus() { return systemApi_.get(); }

    // Ends the run: whether a replay kept to its recording, each virtual device kept in a state
    // file written back, and whether the traffic log holds every call. Empty when all is well.
    std::vector<StackProblem> Finish();

  private:
    DeviceStack() = default;
    Expected<void, StackProblem> BuildVirtualDevices(const DeviceStackOptions& options);
    Expected<void, StackProblem> BuildReplay(const std::string& file);
    void BuildSystemBus(std::chrono::milliseconds lockWait);
    Expected<void, StackProblem> RecordTo(const std::string& ioLog);

    std::vector<std::unique_ptr<sim::Simulation>> simulations_;
    std::unique_ptr<ReplayDeviceApi> replay_;
    std::unique_ptr<LockingDeviceApi> systemApi_;
    // Declared last, so that the recorders go before the interfaces they wrap.
    std::vector<std::unique_ptr<RecordingDeviceApi>> recorders_;
    std::vector<StackBus> buses_;
};

}  // namespace qv

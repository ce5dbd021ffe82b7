#pragma once
// Options shared by every qvtool command and the device access they lead to: the real bus,
// virtual devices or a replayed traffic log, the device chosen with --device, traffic capture,
// rehearsed faults and machine-readable output.

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/DeviceView.h"
#include "cli/Qvtool.h"
#include "cli/Report.h"
#include "platform/DeviceApi.h"
#include "platform/LockingDeviceApi.h"
#include "platform/NamedFiles.h"
#include "usb/DeviceScan.h"
#include "usb/QuorvexUsb.h"

namespace qv {

namespace sim {
class Simulation;
}
class RecordingDeviceApi;
class ReplayDeviceApi;

// A device present on one of the buses the options name.
struct Candidate {
    FoundDevice device;
    DeviceApi* bus = nullptr;  // a virtual device's own bus; null for the system's
    bool simulated = false;
};

// Whether a command changes the device: with several present, such a command needs --device.
enum class Access { kReadOnly, kChanges };

class CliContext {
  public:
    CliContext(std::ostream& out, std::ostream& err, const QvtoolSettings& settings);
    ~CliContext();

    // Adds --simulate, the virtual device's --sim-* options, --io-log (--sim-log), --replay,
    // --device and --json to the top-level app.
    void AddGlobalOptions(CLI::App& app);
    // Runs `work` as the command `name` when `command` is parsed: one report, one exit status.
    // First the files the run names (the global options' and those `files` gives) are checked
    // together; a problem refuses the command before any traffic. Before the report is printed,
    // a replay that went off its recording fails the command, and a virtual device kept in a
    // state file is written back.
    void Bind(CLI::App* command, const std::string& name, std::function<void(Report&)> work,
              std::function<std::vector<NamedFile>()> files = {});

    // Every updatable device present on the buses the options name; an empty list after a
    // failure in `report` when the virtual devices, the replay or the traffic log could not be
    // set up.
    std::vector<Candidate> Candidates(Report& report);
    // The one device the command works on (--device, or the only one present), found by
    // enumeration alone; false after a failure in `report`. The JSON report names the device.
    bool ChooseDevice(Report& report, Access access);
    // The link to the chosen device, or null after a failure in `report` that says why it
    // could not be opened.
    QuorvexUsb* Connect(Report& report);
    // Both.
    QuorvexUsb* FindDevice(Report& report, Access access) {
        return ChooseDevice(report, access) ? Connect(report) : nullptr;
    }
    const FoundDevice& Device() const { return chosen_.device; }
    // The interface a device is reached through, and the chosen device's.
    DeviceApi& BusOf(const Candidate& candidate);
    DeviceApi& ChosenBus() { return BusOf(chosen_); }
    // Failed I/O controls on the chosen device so far.
    int FailedTransfers() const { return view_ ? view_->FailedTransfers() : 0; }
    // A device interface of the system's own, for a link that runs on a thread of its own.
    std::unique_ptr<LockingDeviceApi> NewSystemApi();
    // Whether --io-log records the traffic (one device at a time).
    bool Recording() const { return !ioLog_.empty(); }
    // Whether the device answers from a --replay recording.
    bool Replaying() const { return !replayFile_.empty(); }

    bool Json() const { return json_; }
    bool DeviceChosen() const { return !deviceChoice_.empty(); }
    bool VirtualTime() const { return settings_.virtualTime; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }
    std::istream& In();
    // Where progress goes: stdout in text mode, stderr when stdout carries JSON.
    std::ostream& ProgressOut() { return json_ ? err_ : out_; }
    int ExitCode() const { return exitCode_; }

  private:
    // The files the global options name: --io-log and --sim-state written, --replay read.
    std::vector<NamedFile> GlobalFiles() const;
    bool UsesSimulation() const;
    bool BuildSimulations(Report& report);
    bool BuildBus(Report& report);
    // `bus` itself, or a recorder around it when --io-log is given; null after a failure.
    DeviceApi* Recorded(DeviceApi& bus, Report& report);
    // A replay's verdict and the state file, before the command's report is printed.
    void FinishRun(Report& report);

    std::ostream& out_;
    std::ostream& err_;
    QvtoolSettings settings_;
    std::vector<std::string> simulate_;
    std::string ioLog_;
    std::string replayFile_;
    std::vector<std::string> simFaults_;
    std::string simAudio_, simFlash_, simState_, simLatency_;
    bool simVirtualTime_ = false;
    CLI::Option* simulateOption_ = nullptr;
    CLI::Option* faultOption_ = nullptr;
    CLI::Option* ioLogOption_ = nullptr;
    CLI::Option* replayOption_ = nullptr;
    CLI::Option* stateOption_ = nullptr;
    CLI::App* app_ = nullptr;
    std::string deviceChoice_;
    bool json_ = false;
    int exitCode_ = 0;
    std::unique_ptr<LockingDeviceApi> systemApi_;
    std::string heldPath_;  // the device on the system's bus whose lock the command holds
    std::unique_ptr<ReplayDeviceApi> replay_;
    std::vector<std::unique_ptr<sim::Simulation>> simulations_;
    // The recorders of --io-log, one per bus, before the buses they wrap go.
    std::vector<std::unique_ptr<RecordingDeviceApi>> recorders_;
    DeviceApi* bus_ = nullptr;  // the real bus or the replay, recorded when asked
    Candidate chosen_;
    std::unique_ptr<DeviceView> view_;
    std::unique_ptr<QuorvexUsb> usb_;
};

// A device as the JSON reports show it.
Report::Json DeviceJson(const Candidate& candidate);
// True when `choice` (an id text such as vid_a7d6&pid_f017, in any case, or a path from
// `list`) names the device.
bool ChoiceMatches(const std::string& choice, const FoundDevice& device);

}  // namespace qv

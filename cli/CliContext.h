#pragma once
// Options shared by every qvtool command and the device access they lead to: the device stack
// of the shared options (the real bus, virtual devices or a replayed traffic log, traffic
// capture), the device chosen with --device and machine-readable output.

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/DeviceView.h"
#include "cli/Qvtool.h"
#include "cli/Report.h"
#include "platform/DeviceApi.h"
#include "platform/LockingDeviceApi.h"
#include "stack/DeviceStack.h"
#include "system/NamedFiles.h"
#include "usb/DeviceScan.h"
#include "usb/QuorvexUsb.h"

namespace qv {

// A device present on one of the buses the options name.
struct Candidate {
    FoundDevice device;
    // The bus it was found on; null for the system's own, which a link on another thread opens
    // anew (NewSystemApi).
    DeviceApi* bus = nullptr;
    bool simulated = false;
};

// Whether a command changes the device: with several present, such a command needs --device.
enum class Access { kReadOnly, kChanges };

class CliContext {
  public:
    CliContext(std::ostream& out, std::ostream& err, const QvtoolSettings& settings);
    ~CliContext();

    // Adds the shared device options (--simulate, the virtual device's --sim-* options,
    // --io-log, --replay), --device and --json to the top-level app.
    void AddGlobalOptions(CLI::App& app);
    // Runs `work` as the command `name` when `command` is parsed: one report, one exit status.
    // First the shared device options and the files the run names (the shared options' and
    // those `files` gives) are checked together; a refusal comes before any traffic. Before the
    // report is printed, a replay that went off its recording fails the command, a virtual device
    // kept in a state file is written back, and a traffic log cut short fails the command.
    void Bind(CLI::App* command, const std::string& name, std::function<void(Report&)> work,
              std::function<std::vector<NamedFile>()> files = {});

    // Every updatable device present on the buses the options name; an empty list after a
    // failure in `report` when the device stack could not be built.
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
    bool Recording() const { return !deviceOptions_.ioLog.empty(); }
    // Whether the device answers from a --replay recording.
    bool Replaying() const { return !deviceOptions_.replayFile.empty(); }

    bool Json() const { return json_; }
    bool DeviceChosen() const { return !deviceChoice_.empty(); }
    const std::string& DeviceChoice() const { return deviceChoice_; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }
    std::istream& In();
    // Where progress goes: stdout in text mode, stderr when stdout carries JSON.
    std::ostream& ProgressOut() { return json_ ? err_ : out_; }
    int ExitCode() const { return exitCode_; }

  private:
    // The shared device options as given, or false after a refusal in `report`.
    bool ReadDeviceOptions(Report& report);
    bool BuildStack(Report& report);
    // A replay's verdict, the state files and the traffic log, before the command's report is
    // printed.
    void FinishRun(Report& report);

    std::ostream& out_;
    std::ostream& err_;
    QvtoolSettings settings_;
    CLI::App* app_ = nullptr;
    std::vector<std::pair<StackOptionId, const CLI::Option*>> stackOptions_;
    std::vector<GivenOption> givenOptions_;
    DeviceStackOptions deviceOptions_;
    std::string deviceChoice_;
    bool json_ = false;
    int exitCode_ = 0;
    // The link closes its handle through the interface, so it goes before the stack.
    std::unique_ptr<DeviceStack> stack_;
    std::string heldPath_;  // the device on the system's bus whose lock the command holds
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

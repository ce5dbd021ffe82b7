#pragma once
// Options shared by every qvtool command and the device access they lead to: the real bus, the
// virtual device or a replayed traffic log, traffic capture, rehearsed faults and
// machine-readable output.

#include <CLI/CLI.hpp>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "usb/DeviceScan.h"
#include "usb/QuorvexUsb.h"

namespace qv {

namespace sim {
class Simulation;
}
class RecordingDeviceApi;
class ReplayDeviceApi;

class CliContext {
  public:
    CliContext(std::ostream& out, std::ostream& err);
    ~CliContext();

    // Adds --simulate, the virtual device's --sim-* options, --io-log (--sim-log), --replay and
    // --json to the top-level app.
    void AddGlobalOptions(CLI::App& app);
    // Ends the run: a replay that went off its recording, or stopped before its end, fails (with
    // a message); a virtual device kept in a state file is written back. Returns the exit
    // status.
    int Finish();

    // The device interface chosen by the options; null (after a message) when the simulation,
    // the replay or the traffic log could not be set up.
    DeviceApi* Api();
    // The link, pointed at the first updatable device present, or null after a message.
    QuorvexUsb* FindDevice();
    // The device FindDevice chose.
    const FoundDevice& Device() const { return device_; }

    // The exit status a command leaves: 0 only when it succeeded.
    void SetExitCode(int code) { exitCode_ = code; }
    int ExitCode() const { return exitCode_; }

    bool Json() const { return json_; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }
    sim::Simulation* Simulation() { return simulation_.get(); }

  private:
    std::ostream& out_;
    std::ostream& err_;
    std::optional<std::string> simulate_;
    std::string ioLog_;
    std::string replayFile_;
    std::vector<std::string> simFaults_;
    std::string simAudio_, simFlash_, simState_, simLatency_;
    bool simVirtualTime_ = false;
    bool json_ = false;
    int exitCode_ = 0;
    std::unique_ptr<DeviceApi> systemApi_;
    std::unique_ptr<sim::Simulation> simulation_;
    std::unique_ptr<ReplayDeviceApi> replay_;
    std::unique_ptr<RecordingDeviceApi> recorder_;
    DeviceApi* api_ = nullptr;
    std::unique_ptr<QuorvexUsb> usb_;
    FoundDevice device_;
};

// Text as a JSON string literal.
std::string JsonQuote(const std::string& text);

}  // namespace qv

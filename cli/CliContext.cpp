#include "cli/CliContext.h"

#include <ostream>

#include "platform/RecordingDeviceApi.h"
#include "platform/ReplayDeviceApi.h"
#include "platform/SystemDeviceApi.h"
#include "sim/SimFaults.h"
#include "sim/Simulation.h"

namespace qv {

CliContext::CliContext(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

CliContext::~CliContext() {
    // The link closes its handle through the interface, so it goes first, and the recorder
    // before the interface it wraps.
    usb_.reset();
    recorder_.reset();
}

void CliContext::AddGlobalOptions(CLI::App& app) {
    CLI::Option* simulate =
        app.add_option("--simulate", simulate_,
                       "Use the virtual device instead of the USB bus: a catalogue product's name "
                       "or firmware base, isp-a7d6 or isp-0c5e (default: Tesmora K2 DAC)")
            ->expected(0, 1)
            ->default_str("");
    app.add_option("--io-log,--sim-log", ioLog_,
                   "Append every I/O control sent to the device, on the USB bus or the virtual "
                   "device, to FILE");
    CLI::Option* replay =
        app.add_option("--replay", replayFile_,
                       "Use a device that answers from a traffic log written with --io-log; the "
                       "first request that differs from the recording fails");
    const std::vector<CLI::Option*> simOptions = {
        simulate,
        app.add_option("--sim-fault", simFaults_, sim::FaultHelp())
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll),
        app.add_option("--sim-audio", simAudio_, sim::kSimAudioHelp),
        app.add_option("--sim-flash", simFlash_, sim::SimFlashHelp()),
        app.add_option("--sim-state", simState_, sim::kSimStateHelp),
        app.add_option("--sim-latency", simLatency_, sim::kSimLatencyHelp),
        app.add_flag("--sim-virtual-time", simVirtualTime_,
                     "Run the virtual device in virtual time: waits take no wall time"),
    };
    for (CLI::Option* option : simOptions) replay->excludes(option);
    app.add_flag("--json", json_, "Print results as JSON");
}

DeviceApi* CliContext::Api() {
    if (api_ != nullptr) return api_;
    DeviceApi* api = nullptr;
    std::string error;
    const bool simOptions = !simFaults_.empty() || !simAudio_.empty() || !simFlash_.empty() ||
                            !simState_.empty() || !simLatency_.empty() || simVirtualTime_;
    if (!replayFile_.empty()) {
        replay_ = ReplayDeviceApi::Load(replayFile_, error);
        api = replay_.get();
    } else if (simulate_ || simOptions) {
        sim::SimulationOptions options;
        options.product = simulate_.value_or("");
        options.faults = simFaults_;
        options.audio = simAudio_;
        options.flash = simFlash_;
        options.stateFile = simState_;
        options.latency = simLatency_;
        options.realTime = !simVirtualTime_;
        simulation_ = sim::Simulation::Create(options, error);
        if (simulation_) api = &simulation_->Bus();
    } else {
        systemApi_ = CreateSystemDeviceApi();
        api = systemApi_.get();
    }
    if (api != nullptr && !ioLog_.empty()) {
        recorder_ = RecordingDeviceApi::Create(*api, ioLog_, error);
        api = recorder_.get();
    }
    if (api == nullptr) err_ << "qvtool: " << error << '\n';
    api_ = api;
    return api_;
}

int CliContext::Finish() {
    usb_.reset();
    if (replay_) {
        // A replay that ran out of step with its recording has not shown what it was asked to.
        const DeviceResult verdict = replay_->Verdict();
        if (!verdict.ok()) {
            err_ << "qvtool: replay: " << verdict.text() << '\n';
            if (exitCode_ == 0) exitCode_ = 1;
        }
    }
    std::string error;
    if (simulation_ && !simulation_->SaveState(error)) {
        err_ << "qvtool: " << error << '\n';
        return exitCode_ == 0 ? 1 : exitCode_;
    }
    return exitCode_;
}

QuorvexUsb* CliContext::FindDevice() {
    DeviceApi* api = Api();
    if (api == nullptr) return nullptr;
    const std::vector<FoundDevice> devices = ScanDevices(*api);
    if (devices.empty()) {
        err_ << "qvtool: no device is available\n";
        return nullptr;
    }
    usb_ = std::make_unique<QuorvexUsb>(*api);
    device_ = devices.front();
    if (!SelectDevice(*usb_, device_)) {
        err_ << "qvtool: " << device_.displayName << " vanished while it was being opened\n";
        return nullptr;
    }
    // A device whose presence test failed cannot be used: say why (permission, busy, gone).
    if (const DeviceResult& failure = usb_->LastFailure(); !failure.ok()) {
        err_ << "qvtool: " << device_.displayName << ": " << failure.text() << '\n';
        return nullptr;
    }
    return usb_.get();
}

std::string JsonQuote(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

}  // namespace qv

#include "cli/CliContext.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <ostream>

#include "cli/Interruption.h"
#include "platform/RecordingDeviceApi.h"
#include "platform/ReplayDeviceApi.h"
#include "platform/StopSignals.h"
#include "platform/SystemDeviceApi.h"
#include "sim/SimFaults.h"
#include "sim/Simulation.h"

namespace qv {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string DeviceList(const std::vector<Candidate>& candidates) {
    std::string list;
    for (const Candidate& c : candidates) {
        list += "\n  " + c.device.displayName + "  " + c.device.idText + "  " + c.device.path;
    }
    return list;
}

}  // namespace

CliContext::CliContext(std::ostream& out, std::ostream& err, const QvtoolSettings& settings)
    : out_(out), err_(err), settings_(settings) {}

CliContext::~CliContext() {
    // The link closes its handle through the interface, so it goes first, and the recorders
    // before the interfaces they wrap.
    usb_.reset();
    recorders_.clear();
}

void CliContext::AddGlobalOptions(CLI::App& app) {
    app_ = &app;
    simulateOption_ =
        app.add_option("--simulate", simulate_,
                       "Use a virtual device instead of the USB bus: a catalogue product's name or "
                       "firmware base, isp-a7d6 or isp-0c5e (default: Tesmora K2 DAC). Repeat it "
                       "for several virtual devices, each with its own state")
            ->expected(0, 1)
            ->default_str("")
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    ioLogOption_ =
        app.add_option("--io-log,--sim-log", ioLog_,
                       "Append every I/O control sent to the device, on the USB bus or the virtual "
                       "device, to FILE");
    CLI::Option* replay = replayOption_ =
        app.add_option("--replay", replayFile_,
                       "Use a device that answers from a traffic log written with --io-log; the "
                       "first request that differs from the recording fails");
    faultOption_ = app.add_option("--sim-fault", simFaults_,
                                  sim::FaultHelp() +
                                      ". After a --simulate it applies to that virtual device only")
                       ->expected(1)
                       ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    const std::vector<CLI::Option*> simOptions = {
        simulateOption_,
        faultOption_,
        app.add_option("--sim-audio", simAudio_, sim::kSimAudioHelp),
        app.add_option("--sim-flash", simFlash_, sim::SimFlashHelp()),
        stateOption_ = app.add_option("--sim-state", simState_, sim::kSimStateHelp),
        app.add_option("--sim-latency", simLatency_, sim::kSimLatencyHelp),
        app.add_flag("--sim-virtual-time", simVirtualTime_,
                     "Run the virtual device in virtual time: waits take no wall time"),
    };
    for (CLI::Option* option : simOptions) replay->excludes(option);
    app.add_option("--device", deviceChoice_,
                   "The device to work on: an id text such as vid_a7d6&pid_f017, or a path "
                   "that `list` shows");
    app.add_flag("--json", json_, "Print exactly one JSON document on stdout, also on failure");
}

void CliContext::Bind(CLI::App* command, const std::string& name, std::function<void(Report&)> work,
                      std::function<std::vector<NamedFile>()> files) {
    command->callback([this, name, work = std::move(work), files = std::move(files)] {
        Report report(name);
        std::vector<NamedFile> named = GlobalFiles();
        if (files) {
            for (NamedFile& file : files()) named.push_back(std::move(file));
        }
        if (const std::string problem = NamedFilesProblem(named); !problem.empty()) {
            report.Fail(Outcome::kFileRefused, problem + ". Nothing was sent.");
        } else {
            work(report);
        }
        FinishRun(report);
        exitCode_ = report.Emit(out_, err_, json_);
    });
}

std::vector<NamedFile> CliContext::GlobalFiles() const {
    std::vector<NamedFile> files;
    if (ioLogOption_->count() > 0) files.push_back({"--io-log", ioLog_, true});
    if (stateOption_->count() > 0) files.push_back({"--sim-state", simState_, true});
    if (replayOption_->count() > 0) files.push_back({"--replay", replayFile_, false});
    return files;
}

std::istream& CliContext::In() {
    return settings_.in != nullptr ? *settings_.in : std::cin;
}

std::unique_ptr<LockingDeviceApi> CliContext::NewSystemApi() {
    return CreateSystemDeviceApi();
}

bool CliContext::UsesSimulation() const {
    return !simulate_.empty() || !simFaults_.empty() || !simAudio_.empty() || !simFlash_.empty() ||
           !simState_.empty() || !simLatency_.empty() || simVirtualTime_;
}

bool CliContext::BuildSimulations(Report& report) {
    if (!simulations_.empty()) return true;
    // Each --sim-fault belongs to the --simulate before it; before any, to all of them.
    std::vector<std::string> products = simulate_;
    if (products.empty()) products.push_back("");
    if (products.size() > 1 && !simState_.empty()) {
        report.Fail(Outcome::kUsage, "--sim-state keeps one virtual device; give --simulate once");
        return false;
    }
    std::vector<std::vector<std::string>> faults(products.size());
    // Which --simulate each --sim-fault follows, from the order they were given in.
    std::vector<int> owners;
    int simulatesSeen = 0;
    for (const CLI::Option* option : app_->parse_order()) {
        if (option == simulateOption_) ++simulatesSeen;
        if (option == faultOption_) owners.push_back(simulatesSeen - 1);
    }
    for (std::size_t i = 0; i < simFaults_.size(); ++i) {
        const int owner = i < owners.size() ? owners[i] : -1;
        for (std::size_t p = 0; p < products.size(); ++p) {
            if (owner < 0 || static_cast<std::size_t>(owner) == p)
                faults[p].push_back(simFaults_[i]);
        }
    }
    for (std::size_t p = 0; p < products.size(); ++p) {
        sim::SimulationOptions options;
        options.product = products[p];
        options.faults = faults[p];
        options.audio = simAudio_;
        options.flash = simFlash_;
        options.stateFile = simState_;
        options.latency = simLatency_;
        options.realTime = !settings_.virtualTime && !simVirtualTime_;
        options.instance = static_cast<int>(p) + 1;
        std::string error;
        bool inUse = false;
        auto simulation = sim::Simulation::Create(options, error, &inUse);
        if (!simulation) {
            simulations_.clear();
            report.Fail(inUse ? Outcome::kNoDevice : Outcome::kUsage, error);
            return false;
        }
        simulations_.push_back(std::move(simulation));
    }
    return true;
}

bool CliContext::BuildBus(Report& report) {
    if (bus_ != nullptr) return true;
    if (replayFile_.empty()) {
        systemApi_ = CreateSystemDeviceApi();
        bus_ = Recorded(*systemApi_, report);
        return bus_ != nullptr;
    }
    std::string error;
    replay_ = ReplayDeviceApi::Load(replayFile_, error);
    if (!replay_) {
        report.Fail(Outcome::kFileRefused, error);
        return false;
    }
    bus_ = Recorded(*replay_, report);
    return bus_ != nullptr;
}

DeviceApi* CliContext::Recorded(DeviceApi& bus, Report& report) {
    if (ioLog_.empty()) return &bus;
    std::string error;
    auto recorder = RecordingDeviceApi::Create(bus, ioLog_, error);
    if (!recorder) {
        report.Fail(Outcome::kFileRefused, error);
        return nullptr;
    }
    recorders_.push_back(std::move(recorder));
    return recorders_.back().get();
}

void CliContext::FinishRun(Report& report) {
    usb_.reset();
    view_.reset();
    if (!heldPath_.empty()) systemApi_->Release(heldPath_);
    heldPath_.clear();
    if (replay_) {
        // A replay that ran out of step with its recording has not shown what it was asked to.
        const DeviceResult verdict = replay_->Verdict();
        // Where the run went off its recording explains any failure that followed.
        if (!verdict.ok() && report.Failed()) {
            report["replay"] = verdict.text();
            if (!json_) err_ << "qvtool: replay: " << verdict.text() << '\n';
        }
        if (!verdict.ok()) report.Fail(Outcome::kDeviceFailure, "replay: " + verdict.text());
    }
    for (const auto& simulation : simulations_) {
        std::string error;
        if (!simulation->SaveState(error)) report.Fail(Outcome::kFileRefused, error);
    }
    for (const auto& recorder : recorders_) {
        const std::string& failure = recorder->WriteFailure();
        if (failure.empty()) continue;
        // Beside an earlier failure too: a capture that is cut short must not go unnoticed.
        if (report.Failed() && !json_) err_ << "qvtool: " << failure << '\n';
        report["ioLogError"] = failure;
        report.Fail(Outcome::kFileRefused, failure);
    }
}

std::vector<Candidate> CliContext::Candidates(Report& report) {
    std::vector<Candidate> candidates;
    if (!UsesSimulation()) {
        if (!BuildBus(report)) return candidates;
        // A recorded or replayed bus is the one every link uses; the system's own may be
        // opened once per thread.
        DeviceApi* shared = bus_ == systemApi_.get() ? nullptr : bus_;
        for (FoundDevice& device : ScanDevices(*bus_))
            candidates.push_back({std::move(device), shared, false});
        return candidates;
    }
    if (!BuildSimulations(report)) return candidates;
    if (recorders_.empty()) {
        for (const auto& simulation : simulations_) {
            if (Recorded(simulation->Bus(), report) == nullptr) return {};
        }
    }
    for (std::size_t i = 0; i < simulations_.size(); ++i) {
        DeviceApi& bus =
            recorders_.empty() ? static_cast<DeviceApi&>(simulations_[i]->Bus()) : *recorders_[i];
        for (FoundDevice& device : ScanDevices(bus))
            candidates.push_back({std::move(device), &bus, true});
    }
    return candidates;
}

bool CliContext::ChooseDevice(Report& report, Access access) {
    std::vector<Candidate> candidates = Candidates(report);
    if (report.Failed()) return false;
    if (candidates.empty()) {
        report.Fail(Outcome::kNoDevice, "no device is available");
        return false;
    }
    if (!deviceChoice_.empty()) {
        std::erase_if(candidates,
                      [&](const Candidate& c) { return !ChoiceMatches(deviceChoice_, c.device); });
        if (candidates.empty()) {
            Report probe("");
            report.Fail(Outcome::kNoDevice, "no device present matches --device '" + deviceChoice_ +
                                                "'; present:" + DeviceList(Candidates(probe)));
            return false;
        }
    }
    if (candidates.size() > 1 && access == Access::kChanges) {
        report.Fail(Outcome::kUsage,
                    std::to_string(candidates.size()) +
                        " devices are present; choose one with --device:" + DeviceList(candidates));
        return false;
    }
    if (candidates.size() > 1 && !json_) {
        err_ << "qvtool: " << candidates.size() << " devices are present; using "
             << candidates.front().device.displayName << " at " << candidates.front().device.path
             << " (choose with --device)\n";
    }
    chosen_ = candidates.front();
    report["device"] = DeviceJson(chosen_);
    return true;
}

DeviceApi& CliContext::BusOf(const Candidate& candidate) {
    if (candidate.bus != nullptr) return *candidate.bus;
    if (bus_ == nullptr) {
        Report ignored("");
        BuildBus(ignored);
    }
    return bus_ != nullptr ? *bus_ : *systemApi_;
}

QuorvexUsb* CliContext::Connect(Report& report) {
    if (StopRequested()) {
        FailInterrupted(report, "nothing was sent to the device");
        return nullptr;
    }
    usb_.reset();  // closes through the view it was built on
    const FoundDevice& device = chosen_.device;
    // The whole command is one piece of work: no other program between its opens.
    if (systemApi_ && !chosen_.simulated && heldPath_.empty()) {
        if (const DeviceResult held = systemApi_->Hold(device.path); !held.ok()) {
            report.Fail(Outcome::kNoDevice,
                        device.displayName + ": " + held.text() + "; nothing was sent to it");
            return nullptr;
        }
        heldPath_ = device.path;
    }
    view_ = std::make_unique<DeviceView>(ChosenBus(), device.path);
    usb_ = std::make_unique<QuorvexUsb>(*view_);
    if (!SelectDevice(*usb_, device)) {
        report.Fail(Outcome::kNoDevice, device.displayName + " at " + device.path +
                                            " vanished while it was being opened");
        return nullptr;
    }
    // A device whose presence test failed cannot be used: say why (permission, busy, gone).
    if (const DeviceResult& failure = usb_->LastFailure(); !failure.ok()) {
        report.Fail(Outcome::kNoDevice, device.displayName + ": " + failure.text());
        return nullptr;
    }
    return usb_.get();
}

Report::Json DeviceJson(const Candidate& candidate) {
    return {{"name", candidate.device.displayName},
            {"id", candidate.device.idText},
            {"path", candidate.device.path},
            {"mode", candidate.device.propertyMode ? "property" : "plain"},
            {"virtual", candidate.simulated}};
}

bool ChoiceMatches(const std::string& choice, const FoundDevice& device) {
    return choice == device.path || Lower(choice) == Lower(device.idText);
}

}  // namespace qv

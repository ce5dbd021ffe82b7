#include "cli/CliContext.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <ostream>

#include "cli/Interruption.h"
#include "platform/SystemDeviceApi.h"
#include "system/StopSignals.h"
#include "text/Joined.h"
#include "text/LetterCase.h"

namespace qv {
namespace {

std::string DeviceList(const std::vector<Candidate>& candidates) {
    std::string list;
    for (const Candidate& c : candidates) {
        list += "\n  " + c.device.displayName + "  " + c.device.idText + "  " + c.device.path;
    }
    return list;
}

// The help of a shared option, with what qvtool adds: several virtual devices at once.
std::string CommandLineHelp(const StackOption& option) {
    switch (option.id) {
        case StackOptionId::kSimulate:
            return option.help + ". Repeat it for several virtual devices, each with its own state";
        case StackOptionId::kSimFault:
            return option.help + ". After a --simulate it applies to that virtual device only";
        default:
            return option.help;
    }
}

// A shared option as CLI11 takes it; its values are read back from the option's results.
CLI::Option* AddStackOption(CLI::App& app, const StackOption& option) {
    const std::string names = "--" + Joined(option.names, ",--");
    const std::string help = CommandLineHelp(option);
    if (option.valueName.empty()) return app.add_flag(names)->description(help);
    CLI::Option* added = app.add_option(names, help)->type_name(option.valueName);
    if (option.valueOptional) added->expected(0, 1)->default_str("");
    if (option.repeatable) added->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    return added;
}

Outcome OutcomeOf(StackProblem::Kind kind) {
    switch (kind) {
        case StackProblem::Kind::kUsage:
            return Outcome::kUsage;
        case StackProblem::Kind::kFileRefused:
        case StackProblem::Kind::kIoLogCut:
            return Outcome::kFileRefused;
        case StackProblem::Kind::kInUse:
            return Outcome::kNoDevice;
        case StackProblem::Kind::kReplayDiverged:
            break;
    }
    return Outcome::kDeviceFailure;
}

}  // namespace

CliContext::CliContext(std::ostream& out, std::ostream& err, const QvtoolSettings& settings)
    : out_(out), err_(err), settings_(settings) {}

CliContext::~CliContext() = default;

void CliContext::AddGlobalOptions(CLI::App& app) {
    app_ = &app;
    for (const StackOption& option : StackOptions())
        stackOptions_.emplace_back(option.id, AddStackOption(app, option));
    app.add_option("--device", deviceChoice_,
                   "The device to work on: an id text such as vid_a7d6&pid_f017, or a path "
                   "that `list` shows");
    app.add_flag("--json", json_, "Print exactly one JSON document on stdout, also on failure");
}

void CliContext::Bind(CLI::App* command, const std::string& name, std::function<void(Report&)> work,
                      std::function<std::vector<NamedFile>()> files) {
    command->callback([this, name, work = std::move(work), files = std::move(files)] {
        Report report(name);
        if (ReadDeviceOptions(report)) {
            std::vector<NamedFile> named = NamedFilesOf(givenOptions_);
            if (files) {
                for (NamedFile& file : files()) named.push_back(std::move(file));
            }
            if (const Expected<void> usable = CheckNamedFiles(named); !usable.ok()) {
                report.Fail(Outcome::kFileRefused, usable.text() + ". Nothing was sent.");
            } else {
                work(report);
            }
        }
        FinishRun(report);
        exitCode_ = report.Emit(out_, err_, json_);
    });
}

std::istream& CliContext::In() {
    return settings_.in != nullptr ? *settings_.in : std::cin;
}

std::unique_ptr<LockingDeviceApi> CliContext::NewSystemApi() {
    return CreateSystemDeviceApi();
}

bool CliContext::ReadDeviceOptions(Report& report) {
    std::vector<GivenOption> given;
    std::map<const CLI::Option*, std::size_t> seen;
    for (const CLI::Option* option : app_->parse_order()) {
        const auto shared = std::ranges::find(
            stackOptions_, option, &std::pair<StackOptionId, const CLI::Option*>::second);
        if (shared == stackOptions_.end()) continue;
        const std::size_t index = seen[option]++;
        const bool flag = StackOptionFor(shared->first).valueName.empty();
        const std::vector<std::string>& values = option->results();
        given.push_back({shared->first, !flag && index < values.size() ? values[index] : ""});
    }
    givenOptions_ = given;
    Expected<DeviceStackOptions> options = ReadStackOptions(given);
    if (!options.ok()) {
        report.Fail(Outcome::kUsage, options.text());
        return false;
    }
    deviceOptions_ = std::move(*options);
    if (settings_.virtualTime) {
        for (sim::SimulationOptions& device : deviceOptions_.virtualDevices)
            device.realTime = false;
    }
    return true;
}

bool CliContext::BuildStack(Report& report) {
    if (stack_) return true;
    Expected<std::unique_ptr<DeviceStack>, StackProblem> built = DeviceStack::Build(deviceOptions_);
    if (built.ok()) {
        stack_ = std::move(*built);
        return true;
    }
    const StackProblem& problem = built.problem();
    // A stop while waiting for a state file's lock ends the wait.
    if (StopRequested()) FailInterrupted(report, problem.text + "; nothing was sent");
    report.Fail(OutcomeOf(problem.kind), problem.text);
    return false;
}

void CliContext::FinishRun(Report& report) {
    usb_.reset();
    view_.reset();
    if (!stack_) return;
    if (!heldPath_.empty()) stack_->SystemBus()->Release(heldPath_);
    heldPath_.clear();
    for (const StackProblem& problem : stack_->Finish()) {
        const bool replay = problem.kind == StackProblem::Kind::kReplayDiverged;
        // A replay that ran out of step with its recording has not shown what it was asked to;
        // where it went off its recording explains any failure that followed.
        if (replay && report.Failed()) {
            report["replay"] = problem.text;
            if (!json_) err_ << "qvtool: replay: " << problem.text << '\n';
        }
        if (problem.kind == StackProblem::Kind::kIoLogCut) {
            // Beside an earlier failure too: a capture that is cut short must not go unnoticed.
            if (report.Failed() && !json_) err_ << "qvtool: " << problem.text << '\n';
            report["ioLogError"] = problem.text;
        }
        report.Fail(OutcomeOf(problem.kind), (replay ? "replay: " : "") + problem.text);
    }
}

std::vector<Candidate> CliContext::Candidates(Report& report) {
    std::vector<Candidate> candidates;
    if (!BuildStack(report)) return candidates;
    for (const StackBus& bus : stack_->Buses()) {
        DeviceApi* shared = bus.systemOwn ? nullptr : bus.api;
        for (FoundDevice& device : ScanDevices(*bus.api))
            candidates.push_back({std::move(device), shared, bus.simulated});
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
    return candidate.bus != nullptr ? *candidate.bus : *stack_->Buses().front().api;
}

QuorvexUsb* CliContext::Connect(Report& report) {
    if (StopRequested()) {
        FailInterrupted(report, "nothing was sent to the device");
        return nullptr;
    }
    usb_.reset();  // closes through the view it was built on
    const FoundDevice& device = chosen_.device;
    // The whole command is one piece of work: no other program between its opens.
    LockingDeviceApi* systemBus = stack_->SystemBus();
    if (systemBus != nullptr && !chosen_.simulated && heldPath_.empty()) {
        if (const DeviceResult held = systemBus->Hold(device.path); !held.ok()) {
            if (StopRequested()) FailInterrupted(report, held.text() + "; nothing was sent to it");
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
    // A device that cannot be opened cannot be used: say why (permission, busy, gone). One
    // whose presence test fails once opened is used all the same.
    if (const DeviceResult& failure = usb_->OpenFailure(); !failure.ok()) {
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
    return choice == device.path || SameLetters(choice, device.idText);
}

}  // namespace qv

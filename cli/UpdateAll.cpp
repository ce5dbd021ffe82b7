#include "cli/UpdateAll.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <thread>

#include "catalog/FirmwareFiles.h"
#include "cli/FirmwareFile.h"
#include "cli/FlashSession.h"
#include "cli/Interruption.h"
#include "cli/ProgressBoard.h"
#include "cli/ProgressReporter.h"
#include "cli/UpdateQuestion.h"
#include "flash/StepFailure.h"
#include "flash/UpdateSequences.h"
#include "system/StopSignals.h"

namespace qv {
namespace {

enum class Result { kSuccess, kFailed, kInterrupted, kSkipped };

struct Job {
    Candidate candidate;
    FirmwareImage* image =
        nullptr;  // shared by the devices with the same file; the update only reads it
    Result result = Result::kSkipped;
    std::string message;
    double seconds = 0;
    std::vector<std::string> steps;
    std::vector<ProgressReporter::StepWarning> warnings;
};

const char* ResultText(Result result) {
    switch (result) {
        case Result::kSuccess:
            return "success";
        case Result::kFailed:
            return "failed";
        case Result::kInterrupted:
            return "interrupted";
        case Result::kSkipped:
            return "skipped";
    }
    return "";
}

// Loads each firmware file once; false after a file refusal in `report`.
bool LoadImages(Report& report, const UpdateAllOptions& o, std::vector<Job>& jobs,
                std::map<std::string, std::unique_ptr<FirmwareImage>>& images) {
    for (Job& job : jobs) {
        const FoundDevice& device = job.candidate.device;
        if (o.file.empty() && device.catalogIndex < 0) {
            job.message = "a bare chip is updated only with --file";
            continue;
        }
        const std::string key = o.file.empty() ? std::to_string(device.catalogIndex) : o.file;
        auto& image = images[key];
        if (!image) {
            image = std::make_unique<FirmwareImage>();
            if (!LoadFirmwareFor(device, o.file, *image, report)) return false;
        }
        job.image = image.get();
    }
    return true;
}

// One device from start to end on the calling thread.
void RunJob(CliContext& context, Job& job, ProgressBoard& board, std::size_t row) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<LockingDeviceApi> ownApi;
    DeviceResult held;
    if (job.candidate.bus == nullptr) {
        ownApi = context.NewSystemApi();
        // One piece of work: no other program between the update's opens.
        held = ownApi->Hold(job.candidate.device.path);
    }
    DeviceView view(job.candidate.bus ? *job.candidate.bus : *ownApi, job.candidate.device.path);
    QuorvexUsb usb(view);
    const bool selected = held.ok() && SelectDevice(usb, job.candidate.device);
    if (!held.ok()) {
        job.result = Result::kFailed;
        job.message = held.text() + "; nothing was sent to it";
        board.Set(row, job.message, true);
    } else if (!selected || !usb.OpenFailure().ok()) {
        job.result = Result::kFailed;
        job.message = selected ? usb.OpenFailure().text() : "vanished while it was being opened";
        board.Set(row, job.message, true);
    } else {
        FlashSession session(usb, *job.image, context.Err(), ProgressReporter::Style::kQuiet);
        ProgressReporter& reporter = session.reporter;
        reporter.SetListener([&](const std::string& status) {
            board.Set(row, status, status.find('%') == std::string::npos);
        });
        const SequenceOutcome outcome = RunFirmwareUpdate(session.target, session.run);
        const bool success = outcome == SequenceOutcome::kSuccess;
        const bool stopped = FlashSession::Stopped(outcome);
        job.result = success ? Result::kSuccess : stopped ? Result::kInterrupted : Result::kFailed;
        job.steps = reporter.Lines();
        job.warnings = reporter.Warnings();
        if (!success) job.message = stopped ? StoppedUpdateState(job.steps) : reporter.LastLine();
        if (!success && reporter.HasFailure())
            job.message +=
                " (" + ReasonText(reporter.FailedStepName(), reporter.FailureReason()) + ")";
    }
    job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (ownApi && held.ok()) ownApi->Release(job.candidate.device.path);
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

void Summarize(Report& report, const std::vector<Job>& jobs) {
    Report::Json devices = Report::Json::array();
    report.Line("Device                          Result   Time     Path");
    int failed = 0, updated = 0, interrupted = 0;
    for (const Job& job : jobs) {
        const FoundDevice& d = job.candidate.device;
        char row[96];
        std::snprintf(row, sizeof row, "%-31.31s %-8s %-8s ", d.displayName.c_str(),
                      ResultText(job.result), Seconds(job.seconds).c_str());
        report.Line(row + d.path + (job.message.empty() ? "" : "\n    " + job.message));
        Report::Json entry = DeviceJson(job.candidate);
        entry["result"] = ResultText(job.result);
        entry["seconds"] = job.seconds;
        if (!job.message.empty()) entry["message"] = job.message;
        entry["steps"] = job.steps;
        entry["warnings"] = Report::Json::array();
        for (const auto& [step, reason] : job.warnings) {
            report.Line("    warning: " + ReasonText(FlashStepName(step), reason));
            entry["warnings"].push_back({{"step", FlashStepName(step)},
                                         {"kind", reason.KindName()},
                                         {"message", reason.Text()}});
        }
        devices.push_back(std::move(entry));
        failed += job.result == Result::kFailed;
        updated += job.result == Result::kSuccess;
        interrupted += job.result == Result::kInterrupted;
    }
    report["devices"] = devices;
    report["updated"] = updated;
    report["failed"] = failed;
    const std::string of = " of " + std::to_string(failed + updated + interrupted);
    if (failed > 0) {
        report.Fail(Outcome::kDeviceFailure,
                    std::to_string(failed) + of + " device updates failed");
    } else if (interrupted > 0) {
        FailInterrupted(report, std::to_string(interrupted) + of +
                                    " device updates were interrupted; each device's line "
                                    "says what state it was left in");
    } else if (updated == 0) {
        report.Fail(Outcome::kNoDevice, "no device could be updated (a bare chip needs --file)");
    }
}

// With one --file for all, the devices must be one catalogue product (rows, not display names:
// two rows may share one) and no bare chips beside it: a file for one product must not reach
// another. Else why not.
Expected<void> OneProduct(const std::vector<Job>& jobs) {
    std::vector<int> rows;
    bool bareChips = false;
    for (const Job& job : jobs) {
        const int row = job.candidate.device.catalogIndex;
        if (row < 0)
            bareChips = true;
        else if (std::find(rows.begin(), rows.end(), row) == rows.end())
            rows.push_back(row);
    }
    if (rows.size() + (bareChips ? 1 : 0) < 2) return {};
    std::string names;
    for (const int row : rows)
        names += (names.empty() ? "" : ", ") + CatalogProductName(static_cast<std::size_t>(row));
    if (bareChips) names += (names.empty() ? "" : ", ") + std::string("bare chips in ISP mode");
    return Problem{FailureKind::kOther,
                   "--file would reach devices of " +
                       std::to_string(rows.size() + (bareChips ? 1 : 0)) + " kinds (" + names +
                       "): choose the devices for it with --device, or leave out --file so that "
                       "each product gets its own catalogue file. Nothing was sent."};
}

// Each product must take the file (not another product's catalogue file, unless the technician
// means it); false after the refusal in `report`.
bool FileFitsEveryProduct(const std::vector<Job>& jobs, const UpdateAllOptions& o, Report& report,
                          std::vector<std::string>& notes) {
    for (const Job& job : jobs) {
        std::string note;
        if (!FileIsForDevice(job.candidate.device, o.file, o.otherProduct, report, note))
            return false;
        if (!note.empty() && std::find(notes.begin(), notes.end(), note) == notes.end())
            notes.push_back(note);
    }
    return true;
}

}  // namespace

void UpdateAll(CliContext& context, Report& report, const UpdateAllOptions& o) {
    std::map<std::string, std::unique_ptr<FirmwareImage>> images;
    if (!o.file.empty()) {  // a file that cannot be used is refused before any device is looked at
        auto& image = images[o.file] = std::make_unique<FirmwareImage>();
        if (!LoadFirmwareFile(o.file, *image, report).ok()) return;
    }
    std::vector<Job> jobs;
    for (Candidate& candidate : context.Candidates(report)) {
        if (context.DeviceChosen() && !ChoiceMatches(context.DeviceChoice(), candidate.device))
            continue;
        jobs.emplace_back().candidate = std::move(candidate);
    }
    if (report.Failed()) return;
    if (jobs.empty()) {
        return report.Fail(Outcome::kNoDevice, context.DeviceChosen()
                                                   ? "no device present matches --device"
                                                   : "no device is available");
    }
    if (!o.file.empty() && !context.DeviceChosen()) {
        if (const Expected<void> one = OneProduct(jobs); !one.ok())
            return report.Fail(Outcome::kUsage, one.text());
    }
    std::vector<std::string> notes;
    if (!FileFitsEveryProduct(jobs, o, report, notes)) return;
    if (jobs.size() > 1 && (context.Recording() || context.Replaying())) {
        return report.Fail(Outcome::kUsage,
                           "--io-log and --replay follow one device at a time: update it without "
                           "--all. Nothing was sent.");
    }
    if (!LoadImages(report, o, jobs, images)) return;

    if (!notes.empty()) report["notes"] = notes;
    for (const std::string& note : notes) context.Err() << "Note: " << note << '\n';
    std::vector<std::string> labels;
    for (const Job& job : jobs) labels.push_back(job.candidate.device.displayName);
    if (!o.yes) {
        context.Err() << "Devices to update:\n";
        for (const Job& job : jobs) {
            if (job.image)
                context.Err() << "  " << job.candidate.device.displayName << "  "
                              << job.candidate.device.path << '\n';
        }
        if (!ConfirmUpdate(context))
            return report.Fail(Outcome::kUsage, "Abort Firmware update process (nothing was sent)");
    }
    if (StopRequested()) return FailInterrupted(report, "nothing was sent to the devices");
    {
        std::ostream& display = context.ProgressOut();
        const bool terminal = ProgressReporter::StyleFor(display) == ProgressReporter::Style::kBars;
        ProgressBoard board(display, terminal, labels);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (jobs[i].image == nullptr) {
                board.Set(i, "skipped: " + jobs[i].message, true);
                continue;
            }
            threads.emplace_back([&, i] { RunJob(context, jobs[i], board, i); });
        }
        for (std::thread& thread : threads) thread.join();
    }
    Summarize(report, jobs);
}

}  // namespace qv

#pragma once
// What one qvtool command tells its caller: text lines for people, the same facts as JSON for
// scripts, and how it ended. Every command, refusals included, ends in exactly one report.

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "flash/StepReason.h"
#include "platform/DeviceResult.h"

namespace qv {

// The exit statuses of qvtool, documented in the README and in --help.
enum class Outcome {
    kSuccess = 0,
    kDeviceFailure = 1,  // the device did not do what was asked, or a transfer failed
    kUsage = 2,          // bad command line or argument; nothing was sent
    kNoDevice = 3,       // no device to work on, or the chosen one could not be opened
    kFileRefused = 4,    // an input or output file could not be used
    kInterrupted = 5,    // a stop request ended the command before its work was done
};

// The "kind" of a failure in JSON: "device", "usage", "no-device", "file", "interrupted".
const char* OutcomeKind(Outcome outcome);
// Why a device failed, as the message adds it: "step: reason", or the reason alone.
std::string ReasonText(std::string_view step, const StepReason& reason);

// Writes to standard output fail quietly as they happen (a closed pipe, a full disk); the first
// failure's system error is kept on the stream, so the report can say what was lost and why.
void KeepWriteFailure(std::ostream& out);

class Report {
  public:
    using Json = nlohmann::ordered_json;

    explicit Report(std::string command) : command_(std::move(command)) {}

    // A line of the text output.
    void Line(std::string text) { lines_.push_back(std::move(text)); }
    // A field of the JSON output.
    Json& operator[](const std::string& key) { return data_[key]; }

    // Records the failure; the first one stands, later ones only follow from it.
    void Fail(Outcome outcome, std::string message);
    // Adds why the device failed to the failure already recorded: the step (may be empty) and
    // the reason, in the message and as "reason" {step, kind, message} in JSON. Only the first
    // reason is kept.
    void AddReason(std::string_view step, const StepReason& reason);
    void AddReason(std::string_view step, const DeviceResult& reason) {
        AddReason(step, StepReason::DeviceFailure(reason));
    }
    // A step that did not end as it should without deciding the command's result: a
    // "warning: step: reason" line on stderr, and {step, kind, message} in JSON "warnings".
    void Warn(std::string_view step, const StepReason& reason);
    bool Failed() const { return outcome_ != Outcome::kSuccess; }

    // Prints the report (text lines on `out`, warnings and the failure on `err`, or one JSON
    // document on `out`) and returns the exit status. When `out` cannot take it (a full disk, a
    // closed pipe), says so on `err` with the system's reason; a command that succeeded then
    // ends with kFileRefused, since its caller did not get the result.
    int Emit(std::ostream& out, std::ostream& err, bool json) const;
    // The JSON document: {"command", "ok", fields..., "warnings", "error": {"kind", "message"}}.
    Json Document() const;

  private:
    std::string command_;
    std::vector<std::string> lines_;
    Json data_ = Json::object();
    std::vector<std::string> warnings_;
    Outcome outcome_ = Outcome::kSuccess;
    std::string message_;
};

// `text` with every byte that is not part of valid UTF-8 written as \xHH, so it can be printed
// as JSON and still shows which bytes were there.
std::string Utf8Safe(std::string_view text);

}  // namespace qv

#include "cli/Report.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "system/StandardStreams.h"
#include "text/HexFormat.h"

namespace qv {
namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    return length;
}

void MakeUtf8Safe(Report::Json& value) {
    if (value.is_string()) {
        value = Utf8Safe(value.get_ref<const std::string&>());
    } else if (value.is_structured()) {
        for (auto& element : value) MakeUtf8Safe(element);
    }
}

}  // namespace

const char* OutcomeKind(Outcome outcome) {
    switch (outcome) {
        case Outcome::kSuccess:
            return "none";
        case Outcome::kDeviceFailure:
            return "device";
        case Outcome::kUsage:
            return "usage";
        case Outcome::kNoDevice:
            return "no-device";
        case Outcome::kFileRefused:
            return "file";
        case Outcome::kInterrupted:
            return "interrupted";
    }
    return "device";
}

std::string Utf8Safe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(text[i++]);
            safe += "\\x" + HexText(byte, 2);
        } else {
            safe.append(text.substr(i, length));
            i += length;
        }
    }
    return safe;
}

void Report::Fail(Outcome outcome, std::string message) {
    if (Failed() || outcome == Outcome::kSuccess) return;
    outcome_ = outcome;
    message_ = std::move(message);
}

std::string ReasonText(std::string_view step, const StepReason& reason) {
    return step.empty() ? reason.Text() : std::string(step) + ": " + reason.Text();
}

namespace {
Report::Json ReasonJson(std::string_view step, const StepReason& reason) {
    return {{"step", std::string(step)}, {"kind", reason.KindName()}, {"message", reason.Text()}};
}
}  // namespace

void Report::AddReason(std::string_view step, const StepReason& reason) {
    if (!Failed() || reason.Text().empty() || data_.contains("reason")) return;
    if (message_.find(reason.Text()) == std::string::npos)
        message_ += " (" + ReasonText(step, reason) + ")";
    data_["reason"] = ReasonJson(step, reason);
}

void Report::Warn(std::string_view step, const StepReason& reason) {
    warnings_.push_back(ReasonText(step, reason));
    data_["warnings"].push_back(ReasonJson(step, reason));
}

Report::Json Report::Document() const {
    Json document = Json::object();
    document["command"] = command_;
    document["ok"] = !Failed();
    for (const auto& [key, value] : data_.items()) document[key] = value;
    if (Failed()) document["error"] = {{"kind", OutcomeKind(outcome_)}, {"message", message_}};
    MakeUtf8Safe(document);
    return document;
}

namespace {
// The system error of the first failed write to a stream; 0 while every write went through.
long& KeptWriteError(std::ostream& out) {
    static const int index = std::ios_base::xalloc();
    return out.iword(index);
}
}  // namespace

void KeepWriteFailure(std::ostream& out) {
    long& kept = KeptWriteError(out);
    if (!out.good() && kept == 0) kept = errno != 0 ? errno : EIO;
}

int Report::Emit(std::ostream& out, std::ostream& err, bool json) const {
    // Lines lost earlier (a closed pipe) count as lost output even when nothing follows them.
    KeepWriteFailure(out);
    out.clear();
    errno = 0;
    if (json) {
        out << Document().dump() << '\n' << std::flush;
    } else {
        for (const std::string& line : lines_) out << line << '\n';
        out << std::flush;
        for (const std::string& warning : warnings_) err << "qvtool: warning: " << warning << '\n';
    }
    KeepWriteFailure(out);
    const int writeError = static_cast<int>(KeptWriteError(out));
    const std::string prefix = "qvtool" + std::string(command_.empty() ? "" : " ") + command_;
    if (Failed() && (!json || writeError != 0)) err << prefix << ": " << message_ << '\n';
    if (writeError == 0) return static_cast<int>(outcome_);
    err << prefix << ": " << (json ? "the JSON document" : "the output")
        << " could not be written to standard output: " << StandardStreamWriteError(writeError)
        << (Failed() ? "" : " (the command itself succeeded)") << '\n'
        << std::flush;
    return static_cast<int>(Failed() ? outcome_ : Outcome::kFileRefused);
}

}  // namespace qv

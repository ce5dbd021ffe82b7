// The traffic-log reader of replay on any text. Invariants: a log is read or refused with
// "line N: why", N a line of the text; a log that was read, written out again line by line,
// reads back to the same entries and device paths.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "platform/TrafficLog.h"

namespace {

using qv::fuzz::Check;

bool SameEntry(const qv::TrafficEntry& a, const qv::TrafficEntry& b) {
    return a.code == b.code && a.input == b.input && a.outSize == b.outSize && a.ok == b.ok &&
           a.hasOutput == b.hasOutput && a.output == b.output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qv::TrafficLog log;
    std::string error;
    if (!qv::ParseTrafficLog(text, log, error)) {
        Check(error.starts_with("line "), "a refusal names its line");
        const std::size_t line = std::stoul(error.substr(5));
        std::size_t lines = 1;
        for (const char c : text) lines += c == '\n';
        Check(line >= 1 && line <= lines, "the line named is in the text");
        return 0;
    }
    std::string again;
    for (const std::string& path : log.devicePaths) again += qv::FormatOpenLine(path) + "\n";
    for (const qv::TrafficEntry& e : log.entries) {
        // A line with an output size but "-" stands for a call without an output buffer.
        const bool out = e.hasOutput && e.outSize != 0;
        again += qv::FormatTrafficLine(e.code, e.input.empty() ? nullptr : e.input.data(),
                                       static_cast<std::uint32_t>(e.input.size()), e.outSize, e.ok,
                                       out ? e.output.data() : nullptr) +
                 "\n";
    }
    qv::TrafficLog back;
    Check(qv::ParseTrafficLog(again, back, error), "a log written again reads back");
    Check(back.devicePaths == log.devicePaths, "the device paths read back");
    Check(back.entries.size() == log.entries.size(), "every entry reads back");
    for (std::size_t i = 0; i < log.entries.size(); ++i) {
        qv::TrafficEntry expected = log.entries[i];
        if (expected.outSize == 0) expected.hasOutput = false;  // "-" either way
        Check(SameEntry(back.entries[i], expected), "each entry reads back the same");
    }
    return 0;
}

// The traffic-log reader of replay on any text. Invariants: a log is read or refused with
// "line N: why", N a line of the text; the calls of a log that was read, written out again
// line by line, read back to the same requests and listings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "platform/TrafficLog.h"

namespace {

using qv::fuzz::Check;

bool SameEntry(const qv::TrafficEntry& a, const qv::TrafficEntry& b) {
    return a.isOpen == b.isOpen && a.path == b.path && a.code == b.code && a.input == b.input &&
           a.outSize == b.outSize && a.result == b.result && a.hasOutput == b.hasOutput &&
           a.output == b.output;
}

bool SameListing(const qv::TrafficListing& a, const qv::TrafficListing& b) {
    if (a.interfaceClass != b.interfaceClass || a.entriesBefore != b.entriesBefore ||
        !(a.built == b.built) || a.members.size() != b.members.size())
        return false;
    for (const auto& [index, member] : a.members) {
        const auto other = b.members.find(index);
        if (other == b.members.end() || member.exists != other->second.exists ||
            member.detail != other->second.detail || member.path != other->second.path)
            return false;
    }
    return true;
}

std::string Line(const qv::TrafficEntry& e) {
    if (e.isOpen) return qv::FormatOpenLine(e.path, e.result);
    // A line with an output size but "-" stands for a call without an output buffer.
    const bool out = e.hasOutput && e.outSize != 0;
    return qv::FormatTrafficLine(e.code, e.input.empty() ? nullptr : e.input.data(),
                                 static_cast<std::uint32_t>(e.input.size()), e.outSize, e.result,
                                 out ? e.output.data() : nullptr);
}

void AppendListing(std::string& text, const qv::TrafficListing& listing) {
    text += qv::FormatListLine(listing.interfaceClass, listing.built) + "\n";
    for (const auto& [index, member] : listing.members) {
        if (member.exists)
            text += qv::FormatMemberLine(listing.interfaceClass, index, *member.exists) + "\n";
        if (member.detail)
            text += qv::FormatPathLine(listing.interfaceClass, index, *member.detail, member.path) +
                    "\n";
    }
}

// The log in the current format, each listing before the request it came before.
std::string WriteAgain(const qv::TrafficLog& log) {
    std::string text = std::string(qv::kTrafficLogVersionLine) + "\n";
    std::size_t listing = 0;
    for (std::size_t i = 0; i <= log.entries.size(); ++i) {
        for (; listing < log.listings.size() && log.listings[listing].entriesBefore == i; ++listing)
            AppendListing(text, log.listings[listing]);
        if (i < log.entries.size()) text += Line(log.entries[i]) + "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qv::Expected<qv::TrafficLog> parsed = qv::ParseTrafficLog(text);
    if (!parsed.ok()) {
        const std::string& error = parsed.text();
        Check(error.starts_with("line "), "a refusal names its line");
        const std::size_t line = std::stoul(error.substr(5));
        std::size_t lines = 1;
        for (const char c : text) lines += c == '\n';
        Check(line >= 1 && line <= lines, "the line named is in the text");
        return 0;
    }
    const qv::TrafficLog& log = *parsed;
    const qv::Expected<qv::TrafficLog> again = qv::ParseTrafficLog(WriteAgain(log));
    Check(again.ok(), "a log written again reads back");
    const qv::TrafficLog& back = *again;
    Check(back.entries.size() == log.entries.size(), "every request reads back");
    for (std::size_t i = 0; i < log.entries.size(); ++i) {
        qv::TrafficEntry expected = log.entries[i];
        if (expected.outSize == 0) expected.hasOutput = false;  // "-" either way
        Check(SameEntry(back.entries[i], expected), "each request reads back the same");
    }
    Check(back.listings.size() == log.listings.size(), "every listing reads back");
    for (std::size_t i = 0; i < log.listings.size(); ++i)
        Check(SameListing(back.listings[i], log.listings[i]), "each listing reads back the same");
    return 0;
}

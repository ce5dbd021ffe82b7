#pragma once
// The traffic log: one line per device call, written by the recording decorator and read back
// by the replay device. A log starts with its version line:
//
//   # traffic log version 2
//   list <class> <result> [<text>]                    an interface set of the class was built
//   member <class> <index> <result> [<text>]          whether member <index> of it exists
//   path <class> <index> ok <path>                    the member's device path...
//   path <class> <index> <kind> [<text>]              ...or why it could not be read
//   open <result> <path> [<text>]                     a device path was opened
//   <code> <input> <output size> <result> <output> [<text>]   one I/O control
//
// <class> is the interface class GUID as in device paths ("{50894fa4-...}"), <result> "ok" or the
// failure's kind ("timed-out", see FailureKindName), <text> the system's words for the failure,
// <code> 8 hexadecimal digits, <input> the block sent in hexadecimal, <output size> decimal and
// <output> the output buffer after the call in hexadecimal ("-" when there was none). In paths and
// texts a '%', a control character and (in paths) a space are written as %HH.
//
// A log without a version line is read as the first format, which had only I/O control lines
// with "ok" or "fail" and a "# open <path>" line for each successful open. In both, other lines
// starting with '#' and empty lines are ignored, and a carriage return before the line end is
// allowed.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DeviceResult.h"

namespace qv {

// One recorded request, in the order the tool made it: an I/O control or, from version 2 on,
// the opening of a device path.
struct TrafficEntry {
    bool isOpen = false;
    std::string path;  // of an open
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::uint32_t outSize = 0;
    // A failure of the first format has the kind "other" and no text.
    DeviceResult result;
    bool hasOutput = false;  // false for "-"
    std::vector<std::uint8_t> output;
    std::size_t line = 0;  // 1-based line of the log
};

// What the tool read of one interface set: the set, and each member it asked about.
struct TrafficListing {
    struct Member {
        std::optional<DeviceResult> exists;  // the answer to "does member i exist"
        std::optional<DeviceResult> detail;  // the answer to "the path of member i"
        std::string path;                    // when the detail was read
    };
    std::string interfaceClass;     // as GuidText writes it
    std::size_t entriesBefore = 0;  // how many requests the tool had made before it
    std::size_t line = 0;           // of the "list" line
    DeviceResult built;
    std::map<std::uint32_t, Member> members;
};

struct TrafficLog {
    int version = 1;
    std::vector<std::string>
        devicePaths;  // first format: distinct "# open" paths, first seen first
    std::vector<TrafficEntry> entries;
    std::vector<TrafficListing> listings;  // version 2, in the order recorded
};

inline constexpr std::string_view kTrafficLogVersionLine = "# traffic log version 2";
// Longest input block or output buffer a line may describe; a vendor request carries at most
// 65535 bytes, so this leaves room for any carrier around it.
inline constexpr std::uint32_t kMaxTrafficBytes = 1u << 20;
// Longest line of a log: two blocks in hexadecimal (4 MiB) and room for a path and a text. A
// longer line is refused before it is read whole, so a file that is no log cannot exhaust memory.
inline constexpr std::size_t kMaxTrafficLineLength = std::size_t{5} << 20;
// Largest log a replay takes, refused before it is read: a whole update of the largest image
// with both verifying reads fills some 50 MiB.
inline constexpr std::uint64_t kMaxTrafficLogBytes = std::uint64_t{256} << 20;

// One call as a log line, without the line end. `in` or `out` may be null.
std::string FormatListLine(const std::string& interfaceClass, const DeviceResult& result);
std::string FormatMemberLine(const std::string& interfaceClass, std::uint32_t index,
                             const DeviceResult& result);
std::string FormatPathLine(const std::string& interfaceClass, std::uint32_t index,
                           const DeviceResult& result, const std::string& path);
std::string FormatOpenLine(const std::string& path, const DeviceResult& result);
std::string FormatTrafficLine(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                              std::uint32_t outSize, const DeviceResult& result,
                              const std::uint8_t* out);

// Parses a whole log; else "line N: what is wrong".
Expected<TrafficLog> ParseTrafficLog(std::string_view text);

}  // namespace qv

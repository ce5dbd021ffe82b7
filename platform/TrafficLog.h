#pragma once
// The traffic log: one line per I/O control, written by the recording decorator and read back
// by the replay device.
//
//   <code, 8 hex digits> <input block, hex> <output size, decimal> ok|fail <output, hex or ->
//
// The output is the output buffer after the call ("-" when there was none). A line
// "# open <device path>" marks each device path opened; other lines starting with '#' and empty
// lines are ignored, and a carriage return before the line end is allowed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct TrafficEntry {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::uint32_t outSize = 0;
    bool ok = false;
    bool hasOutput = false;  // false for "-"
    std::vector<std::uint8_t> output;
    std::size_t line = 0;  // 1-based line of the log
};

struct TrafficLog {
    std::vector<std::string> devicePaths;  // distinct paths of the "# open" lines, first seen first
    std::vector<TrafficEntry> entries;
};

// Longest input block or output buffer a line may describe.
inline constexpr std::uint32_t kMaxTrafficBytes = 1u << 24;

// One I/O control as a log line, without the line end. `in` or `out` may be null.
std::string FormatTrafficLine(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                              std::uint32_t outSize, bool ok, const std::uint8_t* out);
std::string FormatOpenLine(const std::string& path);

// Parses a whole log; false with "line N: what is wrong" in `error`.
bool ParseTrafficLog(std::string_view text, TrafficLog& log, std::string& error);

}  // namespace qv

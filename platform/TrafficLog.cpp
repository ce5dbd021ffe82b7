#include "platform/TrafficLog.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace qv {
namespace {

constexpr std::string_view kOpenPrefix = "# open ";

void AppendHex(std::string& text, const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 2 != 0 || text.size() / 2 > kMaxTrafficBytes) return false;
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return true;
}

template <class T>
bool ParseNumber(std::string_view text, int base, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// The fields of an I/O control line; an empty text on success, else what is wrong.
std::string ParseEntry(std::string_view line, TrafficEntry& entry) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (fields.size() < 6) {
        const std::size_t space = line.find(' ', start);
        fields.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    if (fields.size() != 5) return "expected 5 fields separated by single spaces";
    if (fields[0].size() != 8 || !ParseNumber(fields[0], 16, entry.code))
        return "the code is not 8 hexadecimal digits";
    if (!ParseHexBytes(fields[1], entry.input)) return "the input block is not hexadecimal bytes";
    if (!ParseNumber(fields[2], 10, entry.outSize) || entry.outSize > kMaxTrafficBytes)
        return "the output size is not a decimal number up to 16 MiB";
    if (fields[3] != "ok" && fields[3] != "fail") return "the outcome is neither ok nor fail";
    entry.ok = fields[3] == "ok";
    entry.hasOutput = fields[4] != "-";
    entry.output.clear();
    if (entry.hasOutput &&
        (!ParseHexBytes(fields[4], entry.output) || entry.output.size() != entry.outSize))
        return "the output is neither - nor as many hexadecimal bytes as the output size";
    return {};
}

}  // namespace

std::string FormatTrafficLine(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                              std::uint32_t outSize, bool ok, const std::uint8_t* out) {
    char head[16];
    std::snprintf(head, sizeof head, "%08x ", code);
    std::string line = head;
    if (in != nullptr) AppendHex(line, in, inSize);
    line += ' ' + std::to_string(outSize) + (ok ? " ok " : " fail ");
    if (out != nullptr && outSize != 0)
        AppendHex(line, out, outSize);
    else
        line += '-';
    return line;
}

std::string FormatOpenLine(const std::string& path) {
    return std::string(kOpenPrefix) + path;
}

bool ParseTrafficLog(std::string_view text, TrafficLog& log, std::string& error) {
    log = {};
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with(kOpenPrefix)) {
            const std::string path(line.substr(kOpenPrefix.size()));
            if (path.empty()) {
                error = "line " + std::to_string(number) + ": the open line names no device";
                return false;
            }
            if (path.find('\r') != std::string::npos) {
                error =
                    "line " + std::to_string(number) + ": the device path holds a carriage return";
                return false;
            }
            if (std::find(log.devicePaths.begin(), log.devicePaths.end(), path) ==
                log.devicePaths.end())
                log.devicePaths.push_back(path);
            continue;
        }
        if (line.empty() || line.front() == '#') continue;
        TrafficEntry entry;
        entry.line = number;
        if (const std::string wrong = ParseEntry(line, entry); !wrong.empty()) {
            error = "line " + std::to_string(number) + ": " + wrong;
            return false;
        }
        log.entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace qv

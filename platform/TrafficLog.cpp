#include "platform/TrafficLog.h"

#include <algorithm>
#include <charconv>

#include "text/HexDigits.h"
#include "text/HexFormat.h"

namespace qv {
namespace {

constexpr std::string_view kOpenPrefix = "# open ";  // the first format's open line
constexpr std::string_view kVersionPrefix = "# traffic log version ";

// Logs write their bytes in lower case and read either case.
void AppendHex(std::string& text, const std::uint8_t* bytes, std::size_t count) {
    AppendHexBytes(text, bytes, count, HexCase::kLower);
}

// 0..15, or -1 for a character that is no hexadecimal digit.
int HexDigit(char c) {
    const std::uint8_t value = kHexDigitValue[static_cast<unsigned char>(c)];
    return value > 15 ? -1 : value;
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

// Paths and texts stay on their line and keep their field: '%', control characters and, where
// a field follows, spaces become %HH.
void AppendEscaped(std::string& line, std::string_view text, bool escapeSpace) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || byte < 0x20 || byte == 0x7F || (escapeSpace && c == ' ')) {
            line += '%';
            AppendHex(line, &byte, 1);
        } else {
            line.push_back(c);
        }
    }
}

bool Unescape(std::string_view text, std::string& plain) {
    plain.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain.push_back(text[i]);
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        plain.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    return true;
}

// " ok" or " <kind>".
void AppendResult(std::string& line, const DeviceResult& result) {
    line += ' ';
    line += result.ok() ? "ok" : FailureKindName(result.kind());
}

// " <text>" when the result has one.
void AppendText(std::string& line, const DeviceResult& result) {
    if (result.text().empty()) return;
    line += ' ';
    AppendEscaped(line, result.text(), false);
}

// The space-separated fields of a line, taken one by one; what follows them is the rest.
class Fields {
  public:
    explicit Fields(std::string_view line) : rest_(line) {}
    bool Next(std::string_view& field) {
        if (done_) return false;
        const std::size_t space = rest_.find(' ');
        field = rest_.substr(0, space);
        if (space == std::string_view::npos) {
            done_ = true;
            rest_ = {};
        } else {
            rest_.remove_prefix(space + 1);
        }
        return true;
    }
    bool AtEnd() const { return done_; }
    // Everything after the fields taken; empty at the end of the line.
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
    bool done_ = false;
};

Problem Wrong(std::string why) {
    return {FailureKind::kOther, std::move(why)};
}

bool ParseKind(std::string_view word, FailureKind& kind) {
    if (word == "ok") {
        kind = FailureKind::kNone;
        return true;
    }
    for (int k = static_cast<int>(FailureKind::kPermission);
         k <= static_cast<int>(FailureKind::kOther); ++k) {
        if (word == FailureKindName(static_cast<FailureKind>(k))) {
            kind = static_cast<FailureKind>(k);
            return true;
        }
    }
    return false;
}

// The result word and the text after it (the rest of the line); else what is wrong.
Expected<void> ParseResult(std::string_view word, Fields& fields, DeviceResult& result) {
    FailureKind kind;
    if (!ParseKind(word, kind)) return Wrong("the result is neither ok nor a failure kind");
    const std::string_view escaped = fields.Rest();
    if (kind == FailureKind::kNone) {
        if (!escaped.empty()) return Wrong("a success carries no text");
        result = DeviceResult::Success();
        return {};
    }
    std::string text;
    if (!Unescape(escaped, text)) return Wrong("the text holds a % without two hexadecimal digits");
    result = DeviceResult::Failure(kind, std::move(text));
    return {};
}

bool ParsePath(std::string_view escaped, std::string& path) {
    return !escaped.empty() && Unescape(escaped, path) && !path.empty();
}

// "{8-4-4-4-12}" lower-case hexadecimal, as GuidText writes it.
bool IsClassText(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const char c = text[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// The fields of an I/O control line up to its output, in either format.
Expected<void> ParseIoControl(Fields& fields, int version, TrafficEntry& entry) {
    std::string_view field[5];
    for (std::string_view& f : field)
        if (!fields.Next(f)) return Wrong("expected 5 fields separated by single spaces");
    if (version == 1 && !fields.AtEnd())
        return Wrong("expected 5 fields separated by single spaces");
    if (field[0].size() != 8 || !ParseNumber(field[0], 16, entry.code))
        return Wrong("the code is not 8 hexadecimal digits");
    if (!ParseHexBytes(field[1], entry.input))
        return Wrong("the input block is not hexadecimal bytes");
    if (!ParseNumber(field[2], 10, entry.outSize) || entry.outSize > kMaxTrafficBytes)
        return Wrong("the output size is not a decimal number up to 1 MiB");
    if (version == 1) {
        if (field[3] != "ok" && field[3] != "fail")
            return Wrong("the outcome is neither ok nor fail");
        entry.result = field[3] == "ok" ? DeviceResult::Success()
                                        : DeviceResult::Failure(FailureKind::kOther, "");
    } else if (Expected<void> parsed = ParseResult(field[3], fields, entry.result); !parsed.ok()) {
        return parsed;
    }
    entry.hasOutput = field[4] != "-";
    entry.output.clear();
    if (entry.hasOutput &&
        (!ParseHexBytes(field[4], entry.output) || entry.output.size() != entry.outSize))
        return Wrong("the output is neither - nor as many hexadecimal bytes as the output size");
    return {};
}

class Parser {
  public:
    explicit Parser(TrafficLog& log) : log_(log) {}

    // Takes one line (without its end); else what is wrong with it.
    Expected<void> Line(std::string_view line, std::size_t number) {
        if (log_.version == 1 && line.starts_with(kOpenPrefix)) return OpenedFirstFormat(line);
        if (line.empty() || line.front() == '#') return {};
        if (log_.version == 1) return Request(Fields(line), number);
        Fields fields(line);
        std::string_view word;
        fields.Next(word);
        if (word == "list") return List(fields, number);
        if (word == "member") return Member(fields);
        if (word == "path") return Path(fields);
        if (word == "open") return Open(fields, number);
        return Request(Fields(line), number);
    }

  private:
    Expected<void> OpenedFirstFormat(std::string_view line) {
        const std::string path(line.substr(kOpenPrefix.size()));
        if (path.empty()) return Wrong("the open line names no device");
        if (path.find('\r') != std::string::npos)
            return Wrong("the device path holds a carriage return");
        if (std::find(log_.devicePaths.begin(), log_.devicePaths.end(), path) ==
            log_.devicePaths.end())
            log_.devicePaths.push_back(path);
        return {};
    }

    Expected<void> Request(Fields fields, std::size_t number) {
        TrafficEntry entry;
        entry.line = number;
        if (Expected<void> parsed = ParseIoControl(fields, log_.version, entry); !parsed.ok())
            return parsed;
        log_.entries.push_back(std::move(entry));
        return {};
    }

    Expected<void> Open(Fields& fields, std::size_t number) {
        TrafficEntry entry;
        entry.isOpen = true;
        entry.line = number;
        std::string_view word, path;
        if (!fields.Next(word) || !fields.Next(path) || !ParsePath(path, entry.path))
            return Wrong("the open line names no device");
        if (Expected<void> parsed = ParseResult(word, fields, entry.result); !parsed.ok())
            return parsed;
        log_.entries.push_back(std::move(entry));
        return {};
    }

    Expected<void> List(Fields& fields, std::size_t number) {
        TrafficListing listing;
        listing.entriesBefore = log_.entries.size();
        listing.line = number;
        std::string_view interfaceClass, word;
        if (!fields.Next(interfaceClass) || !IsClassText(interfaceClass))
            return Wrong("the interface class is not a lower-case {8-4-4-4-12} GUID");
        listing.interfaceClass = interfaceClass;
        if (!fields.Next(word)) return Wrong("the list line has no result");
        if (Expected<void> parsed = ParseResult(word, fields, listing.built); !parsed.ok())
            return parsed;
        log_.listings.push_back(std::move(listing));
        return {};
    }

    // The member a "member" or "path" line is about, in the latest listing of its class.
    Expected<void> FindMember(Fields& fields, TrafficListing::Member*& member) {
        std::string_view interfaceClass, indexText;
        std::uint32_t index = 0;
        if (!fields.Next(interfaceClass) || !fields.Next(indexText) ||
            !ParseNumber(indexText, 10, index))
            return Wrong("expected an interface class and a member number");
        const auto listing = std::find_if(
            log_.listings.rbegin(), log_.listings.rend(),
            [&](const TrafficListing& l) { return l.interfaceClass == interfaceClass; });
        if (listing == log_.listings.rend()) return Wrong("a member of a class not listed before");
        member = &listing->members[index];
        return {};
    }

    Expected<void> Member(Fields& fields) {
        TrafficListing::Member* member = nullptr;
        if (Expected<void> parsed = FindMember(fields, member); !parsed.ok()) return parsed;
        std::string_view word;
        DeviceResult exists;
        if (!fields.Next(word)) return Wrong("the member line has no result");
        if (Expected<void> parsed = ParseResult(word, fields, exists); !parsed.ok()) return parsed;
        member->exists = std::move(exists);
        return {};
    }

    Expected<void> Path(Fields& fields) {
        TrafficListing::Member* member = nullptr;
        if (Expected<void> parsed = FindMember(fields, member); !parsed.ok()) return parsed;
        std::string_view word;
        if (!fields.Next(word)) return Wrong("the path line has no result");
        std::string path;
        if (word == "ok") {
            std::string_view escaped;
            if (!fields.Next(escaped) || !ParsePath(escaped, path) || !fields.AtEnd())
                return Wrong("the path line names no device, or more than one");
        }
        DeviceResult detail;
        if (Expected<void> parsed = ParseResult(word, fields, detail); !parsed.ok()) return parsed;
        member->detail = std::move(detail);
        member->path = std::move(path);
        return {};
    }

    TrafficLog& log_;
};

}  // namespace

std::string FormatListLine(const std::string& interfaceClass, const DeviceResult& result) {
    std::string line = "list " + interfaceClass;
    AppendResult(line, result);
    AppendText(line, result);
    return line;
}

std::string FormatMemberLine(const std::string& interfaceClass, std::uint32_t index,
                             const DeviceResult& result) {
    std::string line = "member " + interfaceClass + ' ' + std::to_string(index);
    AppendResult(line, result);
    AppendText(line, result);
    return line;
}

std::string FormatPathLine(const std::string& interfaceClass, std::uint32_t index,
                           const DeviceResult& result, const std::string& path) {
    std::string line = "path " + interfaceClass + ' ' + std::to_string(index);
    AppendResult(line, result);
    if (result.ok()) {
        line += ' ';
        AppendEscaped(line, path, true);
    }
    AppendText(line, result);
    return line;
}

std::string FormatOpenLine(const std::string& path, const DeviceResult& result) {
    std::string line = "open";
    AppendResult(line, result);
    line += ' ';
    AppendEscaped(line, path, true);
    AppendText(line, result);
    return line;
}

std::string FormatTrafficLine(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                              std::uint32_t outSize, const DeviceResult& result,
                              const std::uint8_t* out) {
    std::string line = HexText(code, 8, HexCase::kLower) + ' ';
    if (in != nullptr) AppendHex(line, in, inSize);
    line += ' ' + std::to_string(outSize);
    AppendResult(line, result);
    line += ' ';
    if (out != nullptr && outSize != 0)
        AppendHex(line, out, outSize);
    else
        line += '-';
    AppendText(line, result);
    return line;
}

Expected<TrafficLog> ParseTrafficLog(std::string_view text) {
    TrafficLog log;
    Parser parser(log);
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxTrafficLineLength)
            return Wrong("line " + std::to_string(number) +
                         ": longer than 5 MiB; not a traffic log");
        if (number == 1 && line.starts_with(kVersionPrefix)) {
            if (line != kTrafficLogVersionLine) {
                return Wrong("line 1: " + std::string(line.substr(2)) +
                             " is not one this tool reads (version 2, or a log without a version "
                             "line)");
            }
            log.version = 2;
            continue;
        }
        if (const Expected<void> parsed = parser.Line(line, number); !parsed.ok())
            return Wrong("line " + std::to_string(number) + ": " + parsed.text());
    }
    return log;
}

}  // namespace qv

#include "sim/AudioSetting.h"

#include <sstream>
#include <vector>

#include "text/Joined.h"

namespace qv::sim {
namespace {

constexpr std::uint8_t kConnected = 0x01;
constexpr std::uint8_t kDsdInput = 0x02;
constexpr std::uint8_t kMuted = 0x04;

struct Format {
    const char* name;
    bool dsd;
    std::uint8_t firstCode;
    std::vector<const char*> rates;  // in rate-code order from firstCode
};

const Format kFormats[] = {
    {"pcm", false, 0, {"44.1", "48", "88.2", "96", "176.4", "192", "352.8", "384", "705.6", "768"}},
    {"dop", true, 0, {"64", "128", "256", "512"}},
    {"dsd", true, 8, {"64", "128", "256", "512"}},
};

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream stream(text);
    for (std::string part; std::getline(stream, part, ',');) parts.push_back(part);
    return parts;
}

}  // namespace

StatusBytes DefaultAudioStatus() {
    return {0x00, 0x00, kConnected};
}

Expected<StatusBytes> ParseAudioSetting(const std::string& text) {
    const std::vector<std::string> parts = Split(text);
    const Format* format = nullptr;
    for (const Format& candidate : kFormats) {
        if (!parts.empty() && parts[0] == candidate.name) format = &candidate;
    }
    const std::string prefix = "--sim-audio '" + text + "': ";
    if (format == nullptr) {
        return Problem{FailureKind::kOther, prefix + "the format is pcm, dop or dsd"};
    }
    StatusBytes status{0x00, 0x00,
                       static_cast<std::uint8_t>(kConnected | (format->dsd ? kDsdInput : 0))};
    std::size_t code = format->rates.size();
    for (std::size_t i = 0; i < format->rates.size(); ++i) {
        if (parts.size() > 1 && parts[1] == format->rates[i]) code = i;
    }
    if (code == format->rates.size()) {
        return Problem{FailureKind::kOther, prefix + "the " + format->name + " rate is one of " +
                                                Joined(format->rates, ", ") +
                                                (format->dsd ? "" : " (kHz)")};
    }
    status[0] = static_cast<std::uint8_t>(format->firstCode + code);
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (parts[i] == "mute") {
            status[2] |= kMuted;
        } else if (parts[i] == "disconnected") {
            status[2] &= static_cast<std::uint8_t>(~kConnected);
        } else {
            return Problem{FailureKind::kOther,
                           prefix + "'" + parts[i] + "' is neither mute nor disconnected"};
        }
    }
    return status;
}

}  // namespace qv::sim

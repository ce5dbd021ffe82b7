#pragma once
// What a virtual product is playing (--sim-audio=FORMAT,RATE[,mute][,disconnected]), as the
// firmware reports it in the status registers 0xA4 (rate code) and 0xA6 (bit 0 connected,
// bit 1 DSD or DoP, bit 2 muted).

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::sim {

using StatusBytes = std::array<std::uint8_t, 3>;  // 0xA4, 0xA5, 0xA6

// A connected product playing PCM at 44.1 kHz.
StatusBytes DefaultAudioStatus();
// The registers for a setting text such as "pcm,96", "dsd,128,mute" or "dop,64,disconnected";
// empty with the reason in `error` for a text that names no format or rate the chip reports.
std::optional<StatusBytes> ParseAudioSetting(const std::string& text, std::string& error);

}  // namespace qv::sim

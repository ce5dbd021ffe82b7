#pragma once
// What a virtual product is playing (--sim-audio=FORMAT,RATE[,mute][,disconnected]), as the
// firmware reports it in the status registers 0xA4 (rate code) and 0xA6 (bit 0 connected,
// bit 1 DSD or DoP, bit 2 muted).

#include <array>
#include <cstdint>
#include <string>

#include "result/Expected.h"

namespace qv::sim {

using StatusBytes = std::array<std::uint8_t, 3>;  // 0xA4, 0xA5, 0xA6

// A connected product playing PCM at 44.1 kHz.
StatusBytes DefaultAudioStatus();
// The registers for a setting text such as "pcm,96", "dsd,128,mute" or "dop,64,disconnected";
// refused with the reason for a text that names no format or rate the chip reports.
Expected<StatusBytes> ParseAudioSetting(const std::string& text);

}  // namespace qv::sim

#pragma once
// The demo firmware of the virtual product "Tesmora K2 DAC" (catalogue row vid_a7d6&pid_f017,
// firmware base name Tesmora_K2DAC_v11), built deterministically from integer arithmetic.
// MakeDemoFirmware writes it as Intel HEX; tests use BuildDemoFirmwareImage() as the expected
// image. Header-only so that the generator needs no library.
//
// Image layout (kDemoLength = 0x6C00 bytes; bytes not listed are 0xFF and are not emitted):
//   0x0000-0x001F  "QV4820 TESMORA K2 DAC V1.1", then 0x00
//   0x0020-0x0021  layout version 0x01 0x00
//   0x0022-0x0023  position of the user-parameter table, little-endian (0x5A00)
//   0x0024-0x0025  image size, little-endian (0x6C00)
//   0x0100-0x59FF  "code": bytes of a 32-bit LCG (x = x * 1103515245 + 12345, byte = x >> 16)
//   0x5A00-0x5ABF  user-parameter table (image/UserParameterTable.h): VID 0xA7D6, PID 0xF017,
//                  "Tesmora", "Tesmora K2 DAC", "TK2D-110-0001", "K2 DAC Playback",
//                  "K2 DAC Record"
//   0x6000-0x6BFF  "volume table": 1536 16-bit little-endian words w(k) = (k * k * 11) >> 6
//
// HEX file: CR LF line ends, an 04 record (upper address 0000) first, then 16-byte data records
// in address order, leaving out every 16-byte block that is all 0xFF, then an EOF record.

#include <cstdint>
#include <string>
#include <vector>

#include "image/UserParameterTable.h"
#include "text/HexFormat.h"

namespace qv::demo {

inline constexpr const char* kDemoFirmwareName = "Tesmora_K2DAC_v11.hex";
inline constexpr std::uint32_t kDemoLength = 0x6C00;
inline constexpr std::uint32_t kDemoTablePosition = 0x5A00;
inline constexpr UserParameters kDemoUserParameters{
    0xA7D6,
    0xF017,
    {"Tesmora", "Tesmora K2 DAC", "TK2D-110-0001", "K2 DAC Playback", "K2 DAC Record"}};

// The kDemoLength bytes the file describes (0xFF where the file has no records).
inline std::vector<std::uint8_t> BuildDemoFirmwareImage() {
    std::vector<std::uint8_t> b(kDemoLength, 0xFF);
    const std::string title = "QV4820 TESMORA K2 DAC V1.1";
    for (std::size_t i = 0; i < 0x20; ++i)
        b[i] = i < title.size() ? static_cast<std::uint8_t>(title[i]) : 0x00;
    b[0x20] = 0x01;
    b[0x21] = 0x00;
    b[0x22] = kDemoTablePosition & 0xFF;
    b[0x23] = kDemoTablePosition >> 8;
    b[0x24] = kDemoLength & 0xFF;
    b[0x25] = kDemoLength >> 8;

    std::uint32_t x = 0x4B324441;  // "K2DA"
    for (std::size_t i = 0x0100; i < 0x5A00; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<std::uint8_t>(x >> 16);
    }
    WriteUserParameterTable(b, kDemoTablePosition, kDemoUserParameters);
    for (std::uint32_t k = 0; k < 1536; ++k) {
        const std::uint32_t w = ((k * k * 11) >> 6) & 0xFFFF;
        b[0x6000 + 2 * k] = static_cast<std::uint8_t>(w & 0xFF);
        b[0x6000 + 2 * k + 1] = static_cast<std::uint8_t>(w >> 8);
    }
    return b;
}

// The Intel HEX text of the demo firmware.
inline std::string BuildDemoFirmwareHex() {
    const std::vector<std::uint8_t> image = BuildDemoFirmwareImage();
    std::string text;
    auto record = [&](std::uint32_t offset, std::uint8_t type, const std::uint8_t* bytes,
                      std::size_t count) {
        std::vector<std::uint8_t> r;
        r.push_back(static_cast<std::uint8_t>(count));
        r.push_back(static_cast<std::uint8_t>(offset >> 8));
        r.push_back(static_cast<std::uint8_t>(offset & 0xFF));
        r.push_back(type);
        r.insert(r.end(), bytes, bytes + count);
        std::uint8_t sum = 0;
        for (std::uint8_t v : r) sum = static_cast<std::uint8_t>(sum + v);
        r.push_back(static_cast<std::uint8_t>(0x100 - sum));
        text += ':';
        AppendHexBytes(text, r.data(), r.size());
        text += "\r\n";
    };
    const std::uint8_t upper[2] = {0x00, 0x00};
    record(0, 0x04, upper, 2);
    for (std::uint32_t a = 0; a < kDemoLength; a += 16) {
        bool allErased = true;
        for (std::uint32_t i = 0; i < 16; ++i) allErased = allErased && image[a + i] == 0xFF;
        if (!allErased) record(a, 0x00, image.data() + a, 16);
    }
    record(0, 0x01, nullptr, 0);
    return text;
}

}  // namespace qv::demo

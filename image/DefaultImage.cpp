// The built-in default image, 32768 bytes. It is generated at compile time by a constexpr function;
// no file is read at run time. Layout:
//
//   0x0000-0x001F  "QV4820 DEFAULT IMAGE", then 0x00 up to 0x001F
//   0x0020-0x0021  layout version: 0x01 0x00
//   0x0022-0x0023  position of the user-parameter table, little-endian: 0x00 0x01 (0x0100)
//   0x0024-0x0025  size of the image, little-endian: 0x00 0x80 (0x8000)
//   0x0026-0x00FF  0xFF
//   0x0100-0x01BF  user-parameter table (layout in image/UserParameterTable.h): marker
//                  "QVUSB_Table01", VID 0xA7D6, PID 0x6012 and the page's default strings
//                  "Quorvex-inc", "Quorvex-inc UAC22", "QVUA170405", "Primary Play Interface",
//                  "Record Interface"
//   0x01C0-0x01FF  0xFF
//   0x0200-0x7FFF  pattern: byte i = (i & 0xFF) XOR (i >> 8), i.e. 0x02 0x03 0x00 0x01 ...
//
// The marker occurs exactly once, at 0x0100 (the pattern cannot form "QVU": tests check it).

#include "image/DefaultImage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/UserParameterTable.h"

namespace qv {
namespace {

constexpr std::array<std::uint8_t, kDefaultImageSize> BuildDefaultImage() {
    std::array<std::uint8_t, kDefaultImageSize> b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = 0xFF;

    constexpr char title[] = "QV4820 DEFAULT IMAGE";
    for (std::size_t i = 0; i < 0x20; ++i)
        b[i] = i < sizeof(title) - 1 ? static_cast<std::uint8_t>(title[i]) : 0x00;
    b[0x20] = 0x01;
    b[0x21] = 0x00;
    b[0x22] = 0x00;
    b[0x23] = 0x01;
    b[0x24] = 0x00;
    b[0x25] = 0x80;

    WriteUserParameterTable(b, 0x0100, kDefaultUserParameters);

    for (std::size_t i = 0x0200; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>((i & 0xFF) ^ (i >> 8));
    return b;
}

constexpr std::array<std::uint8_t, kDefaultImageSize> kDefaultImage = BuildDefaultImage();

}  // namespace

const std::array<std::uint8_t, kDefaultImageSize>& DefaultImage() {
    return kDefaultImage;
}

void CopyDefaultImage(ImageBuffer& image) {
    if (image.data.size() < kDefaultImageSize) image.data.resize(kDefaultImageSize, 0xFF);
    std::memcpy(image.data.data(), kDefaultImage.data(), kDefaultImageSize);
    image.erasedFrom = std::max<std::uint32_t>(image.erasedFrom, kDefaultImageSize);
}

}  // namespace qv

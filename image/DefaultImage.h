#pragma once
// The built-in default image the window starts with.

#include <array>
#include <cstddef>
#include <cstdint>

#include "image/FirmwareImage.h"

namespace qv {

inline constexpr std::size_t kDefaultImageSize = 32768;

// The built-in 32768-byte default image; its layout is documented in image/DefaultImage.cpp.
const std::array<std::uint8_t, kDefaultImageSize>& DefaultImage();

// Copies DefaultImage() over bytes 0..32767 of image.data; image.length is left unchanged.
void CopyDefaultImage(ImageBuffer& image);

}  // namespace qv

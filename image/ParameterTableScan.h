#pragma once
// Where the user-parameter table sits in an image: found by its marker alone.

#include <cstdint>
#include <optional>

#include "image/FirmwareImage.h"

namespace qv {

inline constexpr char kUserParameterMarker[] = "QVUSB_Table01";  // 13 characters

// The marker scan over image.data[0 .. image.length): at each p < length whose
// byte is 'Q', counts the consecutive marker characters matching from p, stopping at the first
// difference or at 12; m >= 10 ("QVUSB_Tabl") finds the table at p. The comparison may look up
// to 11 bytes past length, never past the buffer's size.
std::optional<std::uint32_t> FindUserParameterTable(const ImageBuffer& image);

}  // namespace qv

// FindUserParameterTable: the scan for the user-parameter table's marker.

#include "image/ParameterTableScan.h"

#include <cstring>

namespace qv {

std::optional<std::uint32_t> FindUserParameterTable(const ImageBuffer& image) {
    const std::uint8_t* data = image.data.data();
    const std::size_t capacity = image.data.size();
    const std::size_t length = image.length < capacity ? image.length : capacity;

    std::size_t p = 0;
    while (p < length) {
        // The next position whose byte is the marker's first character.
        const void* q = std::memchr(data + p, kUserParameterMarker[0], length - p);
        if (q == nullptr) break;
        p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(q) - data);

        // Count matching characters; stop at the first difference, at 12, or at the buffer's
        // end (the comparison may run up to 11 bytes past length, never past capacity).
        std::size_t m = 0;
        while (m < 12 && p + m < capacity &&
               data[p + m] == static_cast<std::uint8_t>(kUserParameterMarker[m]))
            ++m;
        if (m >= 10) return static_cast<std::uint32_t>(p);
        ++p;
    }
    return std::nullopt;
}

}  // namespace qv

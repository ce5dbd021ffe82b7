// The user-parameter table scan on any image: the input's first four bytes give the image's
// length (which may pass the end of its buffer), the rest is the buffer, allocated to its exact
// size so that a read past it is caught. The result must be the first position the rule names.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "fuzz/FuzzCheck.h"
#include "image/ParameterTableScan.h"

namespace {

// The rule spelled out: the first p < length (and inside the buffer) where at least 10 of the
// marker's first 12 characters match in a row from p.
std::optional<std::uint32_t> Expected(const qv::ImageBuffer& image) {
    const std::size_t size = image.data.size();
    for (std::size_t p = 0; p < image.length && p < size; ++p) {
        std::size_t m = 0;
        while (m < 12 && p + m < size && image.data[p + m] == qv::kUserParameterMarker[m]) ++m;
        if (m >= 10) return static_cast<std::uint32_t>(p);
    }
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    qv::ImageBuffer image{std::vector<std::uint8_t>(data + 4, data + size), 0};
    std::memcpy(&image.length, data, 4);
    image.length %= static_cast<std::uint32_t>(size) + 16;  // around the buffer's end
    qv::fuzz::Check(qv::FindUserParameterTable(image) == Expected(image),
                    "the scan finds what the rule names");
    return 0;
}

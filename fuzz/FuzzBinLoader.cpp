// The binary loader on any bytes, from memory. Invariants: loaded exactly when the input is 1 to
// 4 MiB long; then length = input size, the buffer holds the input's bytes and no more, and the
// checksum is their sum; a refusal gives a reason and keeps the image as it was.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "image/ImageLoaders.h"

using qv::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qv::ImageBuffer image;

    const std::uint8_t* const before = image.data.data();
    const std::uint32_t lengthBefore = image.length;
    const qv::LoadResult r = qv::LoadBinFromMemory(image, {data, size}, "fuzz.bin");
    Check(r.ok() == (size > 0 && size <= qv::kImageCapacity), "loaded when 1 byte to 4 MiB");
    if (r.ok()) {
        Check(image.length == size && image.data.size() == size,
              "length and buffer are the input's size");
        Check(std::memcmp(image.data.data(), data, size) == 0, "bytes are the input's");
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < size; ++i) sum += data[i];
        Check(r->checksum == static_cast<std::uint16_t>(sum), "checksum is the sum of the input");
    } else {
        Check(!r.text().empty(), "a refusal has a reason");
        Check(image.data.data() == before && image.length == lengthBefore,
              "a refusal keeps the buffer and the length");
    }
    return 0;
}

// The binary loader on any bytes, from memory. Invariants: loaded exactly when the input is 1 to
// 4 MiB long; then length = input size, the bytes are the input's, the rest reads 0xFF and the
// checksum is their sum; a refusal gives a reason and keeps the image as it was.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "image/ImageLoaders.h"

using qv::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qv::ImageBuffer image;
    static unsigned inputs = 0;
    const bool whole = ++inputs % 256 == 0;

    const std::uint8_t* const before = image.data.data();
    const std::uint32_t lengthBefore = image.length;
    const qv::LoadResult r = qv::LoadBinFromMemory(image, {data, size}, "fuzz.bin");
    Check(image.data.size() == qv::kImageCapacity, "the buffer keeps its size");
    Check(r.loaded == (size > 0 && size <= qv::kImageCapacity), "loaded when 1 byte to 4 MiB");
    if (r.loaded) {
        Check(r.error.empty() && r.line == 0, "no error when loaded");
        Check(image.length == size, "length is the input size");
        Check(std::memcmp(image.data.data(), data, size) == 0, "bytes are the input's");
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < size; ++i) sum += data[i];
        Check(r.checksum == static_cast<std::uint16_t>(sum), "checksum is the sum of the input");
    } else {
        Check(!r.error.empty() && r.checksum == 0, "a refusal has a reason and checksum 0");
        Check(image.data.data() == before && image.length == lengthBefore,
              "a refusal keeps the buffer and the length");
    }
    // memcmp rather than a loop: the fuzzer traces every comparison a loop here would make.
    static const std::vector<std::uint8_t> ff(64 * 1024, 0xFF);
    const std::size_t end =
        whole ? qv::kImageCapacity
              : std::min<std::size_t>(image.length + ff.size(), qv::kImageCapacity);
    for (std::size_t at = image.length; at < end; at += ff.size())
        Check(std::memcmp(image.data.data() + at, ff.data(), std::min(ff.size(), end - at)) == 0,
              "bytes past length are 0xFF");
    return 0;
}

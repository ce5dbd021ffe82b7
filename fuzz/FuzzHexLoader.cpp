// The Intel HEX loader on any bytes, from memory. Invariants:
//  - loaded: no error, length within 1..4 MiB, checksum = sum of data[0..length-1] mod 65536,
//    every byte past length is 0xFF;
//  - refused: a reason, checksum 0, and the image exactly as before (buffer, length, bytes);
//  - the size of the reads does not change the outcome or the image.
// The bytes past length are checked over the 64 KiB behind it and the last 4 KiB of the buffer
// at every input, and over the whole buffer at every 256th, so an input costs what it parses.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "image/ImageLoaders.h"
#include "image/ParameterTableScan.h"

namespace {

using qv::fuzz::Check;

std::uint16_t Sum16(const std::uint8_t* p, std::size_t n) {
    std::uint32_t s = 0;
    for (std::size_t i = 0; i < n; ++i) s += p[i];
    return static_cast<std::uint16_t>(s);
}

// Compared with memcmp, which the sanitizers check as one range: a loop here would pay the
// fuzzer's per-comparison tracing on every byte.
bool Erased(const std::uint8_t* p, std::size_t n) {
    static const std::vector<std::uint8_t> ff(64 * 1024, 0xFF);
    for (std::size_t at = 0; at < n; at += ff.size()) {
        if (std::memcmp(p + at, ff.data(), std::min(ff.size(), n - at)) != 0) return false;
    }
    return true;
}

void CheckErasedPastLength(const qv::ImageBuffer& image, bool whole) {
    const std::uint8_t* p = image.data.data();
    const std::size_t length = image.length;
    const std::size_t window = whole ? qv::kImageCapacity : 64 * 1024;
    Check(Erased(p + length, std::min(window, qv::kImageCapacity - length)),
          "bytes past length are 0xFF");
    const std::size_t tail = std::max<std::size_t>(length, qv::kImageCapacity - 4096);
    Check(Erased(p + tail, qv::kImageCapacity - tail), "the end of the buffer is 0xFF");
}

bool Same(const qv::LoadResult& a, const qv::LoadResult& b) {
    return a.loaded == b.loaded && a.checksum == b.checksum && a.line == b.line &&
           a.error == b.error;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qv::ImageBuffer image;
    static qv::ImageBuffer other;
    static std::vector<std::uint8_t> loaded;  // what `image` holds below its length
    static unsigned inputs = 0;
    const bool whole = ++inputs % 256 == 0;
    const std::span<const std::uint8_t> text(data, size);

    const std::uint8_t* const before = image.data.data();
    const std::uint32_t lengthBefore = image.length;
    const qv::LoadResult r = qv::LoadHexFromMemory(image, text, "fuzz.hex");
    Check(image.data.size() == qv::kImageCapacity, "the buffer keeps its size");
    if (r.loaded) {
        Check(r.error.empty() && r.line == 0, "no error when loaded");
        Check(image.length >= 1 && image.length <= qv::kImageCapacity, "length in range");
        Check(r.checksum == Sum16(image.data.data(), image.length),
              "checksum is the sum up to length");
        loaded.assign(image.data.begin(), image.data.begin() + image.length);
        (void)qv::FindUserParameterTable(image);
    } else {
        Check(!r.error.empty(), "a refusal has a reason");
        Check(r.checksum == 0, "a refusal has checksum 0");
        Check(image.data.data() == before && image.length == lengthBefore,
              "a refusal keeps the buffer and the length");
        Check(loaded.empty() || std::memcmp(loaded.data(), image.data.data(), loaded.size()) == 0,
              "a refusal keeps the bytes");
    }
    CheckErasedPastLength(image, whole);

    // Small reads, so that records straddle them: the same outcome and the same image.
    const qv::LoadResult small =
        qv::LoadHexFromMemory(other, text, "fuzz.hex", 1 + (size ? data[size - 1] % 97 : 0));
    Check(Same(r, small), "the read size does not change the result");
    if (r.loaded) {
        Check(other.length == image.length &&
                  std::memcmp(loaded.data(), other.data.data(), loaded.size()) == 0,
              "the read size does not change the image");
        CheckErasedPastLength(other, whole);
    }
    return 0;
}

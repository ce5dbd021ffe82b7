// libFuzzer target for LoadHexImage, LoadBinImage, LoadImageByName and FindUserParameterTable.
// Each input is written to a file and loaded as HEX and as binary; the invariants of a load
// are checked:
//  - loaded: length within 1..4 MiB, checksum = sum of data[0..length-1] mod 65536, no error;
//    HEX: every byte past length is 0xFF; BIN: length and bytes are the file's;
//  - refused: the image is exactly as before (all or nothing) and a reason is given;
//  - HEX gives the same result whatever the size of the reads (records straddling reads);
//  - LoadImageByName(".hex") gives what LoadHexImage gives.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/FirmwareImage.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant violated: %s\n", what);
        std::abort();
    }
}

std::uint16_t Sum16(const qv::ImageBuffer& image) {
    std::uint32_t s = 0;
    const std::uint8_t* p = image.data.data();
    for (std::uint32_t i = 0; i < image.length; ++i) s += p[i];
    return static_cast<std::uint16_t>(s);
}

bool Erased(const std::uint8_t* p, std::size_t n) {
    static const std::vector<std::uint8_t> ff(qv::kImageCapacity, 0xFF);
    return n == 0 || std::memcmp(p, ff.data(), n) == 0;
}

void Write(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "temporary file can be created");
    if (size) Check(std::fwrite(data, 1, size, f) == size, "temporary file is written");
    std::fclose(f);
}

bool Same(const qv::LoadResult& a, const qv::LoadResult& b) {
    return a.loaded == b.loaded && a.checksum == b.checksum && a.line == b.line &&
           a.error == b.error;
}

// Loads with `load` and checks the invariants common to both formats.
template <class Load>
qv::LoadResult Checked(qv::ImageBuffer& image, Load load) {
    static std::vector<std::uint8_t> edges;  // the first and last 64 KiB before the load
    constexpr std::size_t kEdge = 64 * 1024;
    edges.assign(image.data.begin(), image.data.begin() + kEdge);
    edges.insert(edges.end(), image.data.end() - kEdge, image.data.end());
    const std::uint8_t* const oldBuffer = image.data.data();
    const std::uint32_t oldLength = image.length;

    const qv::LoadResult r = load();
    Check(image.data.size() == qv::kImageCapacity, "buffer keeps its size");
    if (r.loaded) {
        Check(r.error.empty() && r.line == 0, "no error when loaded");
        Check(image.length >= 1 && image.length <= qv::kImageCapacity, "length in range");
        Check(r.checksum == Sum16(image), "checksum is the sum up to length");
    } else {
        Check(!r.error.empty(), "a refusal has a reason");
        Check(r.checksum == 0, "a refusal has checksum 0");
        Check(image.length == oldLength, "a refusal keeps the length");
        // The loaders build in their own buffer: a refusal leaves this one in place, untouched
        // (the unit tests compare all 4 MiB; here the buffer's identity and both ends).
        Check(image.data.data() == oldBuffer, "a refusal keeps the buffer");
        Check(std::memcmp(image.data.data(), edges.data(), kEdge) == 0 &&
                  std::memcmp(image.data.data() + qv::kImageCapacity - kEdge, edges.data() + kEdge,
                              kEdge) == 0,
              "a refusal keeps the bytes");
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string base = "/tmp/qv_fuzz_image_" + std::to_string(getpid());
    static const std::string hex = base + ".hex";
    static const std::string bin = base + ".bin";
    static qv::ImageBuffer image;
    static qv::ImageBuffer other;

    // Every input starts from a recognisable picture (not erased) at the front.
    qv::CopyDefaultImage(image);
    image.length = 1234;

    Write(hex, data, size);
    Write(bin, data, size);

    // HEX, read in large chunks.
    qv::detail::SetHexReadChunkForTesting(0);
    const qv::LoadResult h = Checked(image, [&] { return qv::LoadHexImage(image, hex); });
    if (h.loaded)
        Check(Erased(image.data.data() + image.length, qv::kImageCapacity - image.length),
              "HEX: bytes past length are 0xFF");
    (void)qv::FindUserParameterTable(image);

    // HEX again with small reads, into another image: the same outcome.
    qv::detail::SetHexReadChunkForTesting(1 + (size ? data[0] % 97 : 0));
    const qv::LoadResult h2 = qv::LoadHexImage(other, hex);
    qv::detail::SetHexReadChunkForTesting(0);
    Check(Same(h, h2), "HEX: the read size does not change the result");
    if (h.loaded)
        Check(other.length == image.length && other.data == image.data,
              "HEX: the read size does not change the image");

    // By name: ".hex" is HEX (checked on refusals, which cost no 4 MiB erase).
    if (!h.loaded) Check(Same(h, qv::LoadImageByName(other, hex)), "by name: .hex is HEX");

    // BIN.
    const qv::LoadResult b = Checked(image, [&] { return qv::LoadBinImage(image, bin); });
    Check(b.loaded == (size > 0 && size <= qv::kImageCapacity), "BIN: loaded when not empty");
    if (b.loaded) {
        Check(image.length == size, "BIN: length is the file size");
        Check(std::memcmp(image.data.data(), data, size) == 0, "BIN: bytes are the file's");
        Check(Erased(image.data.data() + size, qv::kImageCapacity - size),
              "BIN: bytes past length are 0xFF");
    }
    (void)qv::FindUserParameterTable(image);
    return 0;
}

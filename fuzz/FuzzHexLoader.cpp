// The Intel HEX loader on any bytes, from memory. Invariants:
//  - loaded: no error, length within 1..4 MiB, checksum = sum of data[0..length-1] mod 65536,
//    every byte the buffer holds past length is 0xFF; the text's last record is its only
//    end-of-file record, and every data record's bytes are in the image (so no two records
//    gave one address different bytes);
//  - refused: a reason, checksum 0, and the image exactly as before (buffer, length, bytes);
//  - the size of the reads does not change the outcome or the image.

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

void CheckErasedPastLength(const qv::ImageBuffer& image) {
    Check(image.data.size() >= image.length, "the buffer holds the image");
    Check(Erased(image.data.data() + image.length, image.data.size() - image.length),
          "bytes past length are 0xFF");
}

int Digit(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// An accepted text read again, record by record (in an accepted text a ':' starts a record and
// nothing else): its last record is its one end-of-file record, and every data byte is the
// image's.
void CheckWholeAndConsistent(std::span<const std::uint8_t> text, const qv::ImageBuffer& image) {
    std::uint64_t upper = 0;
    int endRecords = 0;
    int lastType = -1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != ':') continue;
        std::vector<std::uint8_t> r;
        for (std::size_t q = at + 1; q + 1 < text.size() && Digit(text[q]) >= 0; q += 2)
            r.push_back(static_cast<std::uint8_t>(Digit(text[q]) << 4 | Digit(text[q + 1])));
        Check(r.size() >= 5 && r.size() == r[0] + 5u, "an accepted record reads again");
        lastType = r[3];
        const std::uint64_t value = r[0] == 2 ? std::uint64_t{r[4]} << 8 | r[5] : 0;
        if (lastType == 0x01) ++endRecords;
        if (lastType == 0x02) upper = value << 4;
        if (lastType == 0x04) upper = value << 16;
        if (lastType == 0x00 && r[0] != 0) {
            const std::uint64_t address = upper + (std::uint64_t{r[1]} << 8 | r[2]);
            Check(address + r[0] <= image.length &&
                      std::memcmp(image.data.data() + address, r.data() + 4, r[0]) == 0,
                  "every data record's bytes are in the image: no clashing record");
        }
    }
    Check(lastType == 0x01 && endRecords == 1, "an accepted file ends with its one end record");
}

bool Same(const qv::LoadResult& a, const qv::LoadResult& b) {
    return a.ok() ? b.ok() && a->checksum == b->checksum : a.problem() == b.problem();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qv::ImageBuffer image;
    static qv::ImageBuffer other;
    static std::vector<std::uint8_t> loaded;  // what `image` holds below its length
    const std::span<const std::uint8_t> text(data, size);

    const std::uint8_t* const before = image.data.data();
    const std::uint32_t lengthBefore = image.length;
    const qv::LoadResult r = qv::LoadHexFromMemory(image, text, "fuzz.hex");
    if (r.ok()) {
        Check(image.length >= 1 && image.length <= qv::kImageCapacity, "length in range");
        CheckWholeAndConsistent(text, image);
        Check(r->checksum == Sum16(image.data.data(), image.length),
              "checksum is the sum up to length");
        loaded.assign(image.data.begin(), image.data.begin() + image.length);
        (void)qv::FindUserParameterTable(image);
    } else {
        Check(!r.text().empty(), "a refusal has a reason");
        Check(image.data.data() == before && image.length == lengthBefore,
              "a refusal keeps the buffer and the length");
        Check(loaded.empty() || std::memcmp(loaded.data(), image.data.data(), loaded.size()) == 0,
              "a refusal keeps the bytes");
    }
    CheckErasedPastLength(image);

    // Small reads, so that records straddle them: the same outcome and the same image.
    const qv::LoadResult small =
        qv::LoadHexFromMemory(other, text, "fuzz.hex", 1 + (size ? data[size - 1] % 97 : 0));
    Check(Same(r, small), "the read size does not change the result");
    if (r.ok()) {
        Check(other.length == image.length &&
                  std::memcmp(loaded.data(), other.data.data(), loaded.size()) == 0,
              "the read size does not change the image");
        CheckErasedPastLength(other);
    }
    return 0;
}

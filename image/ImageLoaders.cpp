// The firmware file loaders: every Intel HEX record is validated before
// it is used, extended address records (02, 04) are honoured, nothing is cut silently, and a
// load is all or nothing (built in a scratch buffer, swapped in on success).

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "image/FirmwareImage.h"

namespace qv {

// ---------------------------------------------------------------------------------------------
// ParseHexDigits

namespace {

// 0..15 for a hexadecimal digit, 0xFF for any other character.
constexpr std::array<std::uint8_t, 256> MakeHexTable() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) v = 0xFF;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    return t;
}
constexpr std::array<std::uint8_t, 256> kHexValue = MakeHexTable();

}  // namespace

std::uint32_t ParseHexDigits(const char* chars, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t d = kHexValue[static_cast<unsigned char>(chars[i])];
        value = value * 16 + (d > 15 ? 0u : d);
    }
    return value;
}

// ---------------------------------------------------------------------------------------------
// Shared pieces

namespace {

constexpr std::size_t kDefaultHexChunk = 1u << 20;
std::size_t g_hexChunk = kDefaultHexChunk;

// A valid record is ':' + 2 * (1 + 2 + 1 + 255 + 1) = 521 characters at most, plus its line
// break. Before a record is parsed at least this many characters are in the buffer (or the
// file has ended), so a record never straddles a read.
constexpr std::size_t kMaxRecordBytes = 1 + 2 + 1 + 255 + 1;  // 260
constexpr std::size_t kLookahead = 1024;

// Per-thread buffers, allocated on first use and reused by every later load.
//
// The scratch image: `bytes` is where a load builds the new image. After a successful load it
// holds the caller's previous buffer, whose content is unknown; after a refused load it holds
// what that load wrote. `dirty` bounds the bytes that may differ from 0xFF, so a load after a
// refusal erases only what the refused load touched.
struct ScratchImage {
    std::vector<std::uint8_t> bytes;
    std::size_t dirty = kImageCapacity;

    // Erased scratch buffer of kImageCapacity bytes, ready for a load.
    std::uint8_t* Erased() {
        if (bytes.size() != kImageCapacity) {
            bytes.assign(kImageCapacity, 0xFF);
        } else if (dirty != 0) {
            std::memset(bytes.data(), 0xFF, dirty);
        }
        dirty = 0;
        return bytes.data();
    }
};

ScratchImage& Scratch() {
    thread_local ScratchImage scratch;
    return scratch;
}

std::vector<char>& ReadBuffer(std::size_t capacity) {
    thread_local std::vector<char> buffer;
    if (buffer.size() < capacity) buffer.assign(capacity, 0);
    return buffer;
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

LoadResult Refuse(const std::string& path, std::string reason, std::size_t line = 0) {
    LoadResult r;
    r.line = line;
    r.error = path.empty() ? std::string("(no file name)") : FileName(path);
    if (line != 0) r.error += " line " + std::to_string(line);
    r.error += ": ";
    r.error += reason;
    return r;
}

std::uint16_t Sum16(const std::uint8_t* data, std::size_t n) {
    // 32-bit lanes cannot overflow here: n <= 4 MiB, 255 * 4 Mi < 2^32.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += data[i];
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

struct File {
    std::FILE* f = nullptr;
    explicit File(const std::string& path) : f(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

std::string Hex2(unsigned v) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[(v >> 4) & 0xF], digits[v & 0xF]};
}

}  // namespace

namespace detail {
void SetHexReadChunkForTesting(std::size_t bytes) {
    g_hexChunk = bytes == 0 ? kDefaultHexChunk : bytes;
}
}  // namespace detail

// ---------------------------------------------------------------------------------------------
// LoadHexImage

LoadResult LoadHexImage(ImageBuffer& image, const std::string& path) {
    File file(path);
    if (file.f == nullptr) return Refuse(path, "cannot be opened");

    ScratchImage& scratch = Scratch();
    std::uint8_t* const out = scratch.Erased();

    // The read buffer: [pos, end) is unparsed text; two NUL sentinels follow `end`.
    const std::size_t chunk = g_hexChunk;
    const std::size_t capacity = chunk + kLookahead;
    std::vector<char>& buffer = ReadBuffer(capacity + 2);
    char* const base = buffer.data();
    const unsigned char* pos = reinterpret_cast<const unsigned char*>(base);
    const unsigned char* end = pos;
    bool atEof = false;

    auto refill = [&]() -> bool {
        std::size_t have = static_cast<std::size_t>(end - pos);
        std::memmove(base, pos, have);
        while (have < kLookahead && !atEof) {
            const std::size_t want = capacity - have;
            const std::size_t got = std::fread(base + have, 1, want, file.f);
            have += got;
            if (got < want) {  // fread comes back short only at the end of the file or on error
                if (std::ferror(file.f)) return false;
                atEof = true;
            }
        }
        pos = reinterpret_cast<const unsigned char*>(base);
        end = pos + have;
        base[have] = '\0';
        base[have + 1] = '\0';
        return true;
    };

    std::size_t line = 1;
    std::uint64_t upper = 0;    // base address from the last 02/04 record
    std::uint64_t highest = 0;  // one past the highest byte written
    bool anyData = false;
    std::uint8_t rec[kMaxRecordBytes + 1];

    for (;;) {
        if (static_cast<std::size_t>(end - pos) < kLookahead && !atEof) {
            if (!refill()) return Refuse(path, "cannot be read");
        }
        if (pos == end) break;

        const unsigned char c = *pos;
        if (c != ':') {
            // Text outside records is ignored; only line breaks are counted.
            if (c == '\n') {
                ++line;
            } else if (c == '\r') {
                if (pos + 1 == end || pos[1] != '\n') ++line;  // a lone CR ends a line too
            }
            ++pos;
            continue;
        }

        // One record: ':' then hex pairs up to the line break (or the end of the file).
        const unsigned char* q = pos + 1;
        std::size_t n = 0;
        bool oddDigit = false;
        for (;;) {
            const std::uint8_t hi = kHexValue[q[0]];
            if (hi > 15) break;
            const std::uint8_t lo = kHexValue[q[1]];
            if (lo > 15) {
                oddDigit = true;
                ++q;
                break;
            }
            if (n == kMaxRecordBytes) {
                n = kMaxRecordBytes + 1;  // too long for any byte count
                break;
            }
            rec[n++] = static_cast<std::uint8_t>(hi << 4 | lo);
            q += 2;
        }
        if (n > kMaxRecordBytes)
            return Refuse(path, "byte count does not agree with the record length", line);
        if (q < end && *q != '\r' && *q != '\n')
            return Refuse(path, "record holds a character that is not a hexadecimal digit", line);
        if (oddDigit) return Refuse(path, "record has an odd number of hexadecimal digits", line);
        if (n < 5) return Refuse(path, "record is too short", line);

        const std::size_t count = rec[0];
        if (n != count + 5)
            return Refuse(path, "byte count does not agree with the record length", line);
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + rec[i]);
        if (sum != 0) return Refuse(path, "record checksum is wrong", line);

        const std::uint32_t offset = static_cast<std::uint32_t>(rec[1]) << 8 | rec[2];
        const std::uint8_t type = rec[3];
        const std::uint8_t* payload = rec + 4;
        switch (type) {
            case 0x00:  // data
                if (count != 0) {
                    const std::uint64_t address = upper + offset;
                    if (address + count > kImageCapacity)
                        return Refuse(path, "data beyond 4 MiB", line);
                    std::memcpy(out + address, payload, count);
                    if (address + count > highest) {
                        highest = address + count;
                        scratch.dirty = static_cast<std::size_t>(highest);
                    }
                    anyData = true;
                }
                break;
            case 0x01:  // end of file: changes nothing, reading goes on
                if (count != 0) return Refuse(path, "end-of-file record holds data", line);
                break;
            case 0x02:  // extended segment address
            case 0x04:  // extended linear address
                if (count != 2)
                    return Refuse(path, "extended address record must hold 2 data bytes", line);
                {
                    const std::uint64_t value =
                        static_cast<std::uint64_t>(payload[0]) << 8 | payload[1];
                    upper = type == 0x02 ? value << 4 : value << 16;
                }
                break;
            case 0x03:  // start segment address
            case 0x05:  // start linear address: no image bytes
                if (count != 4)
                    return Refuse(path, "start address record must hold 4 data bytes", line);
                break;
            default:
                return Refuse(path, "record type " + Hex2(type) + " is not one of 00 to 05", line);
        }
        pos = q;
    }

    if (!anyData) return Refuse(path, "holds no data");

    LoadResult r;
    r.loaded = true;
    r.checksum = Sum16(out, static_cast<std::size_t>(highest));
    image.data.swap(scratch.bytes);
    scratch.dirty = kImageCapacity;  // now the caller's previous buffer
    image.length = static_cast<std::uint32_t>(highest);
    return r;
}

// ---------------------------------------------------------------------------------------------
// LoadBinImage

LoadResult LoadBinImage(ImageBuffer& image, const std::string& path) {
    File file(path);
    if (file.f == nullptr) return Refuse(path, "cannot be opened");

    ScratchImage& scratch = Scratch();
    std::uint8_t* const out =
        scratch.bytes.size() == kImageCapacity ? scratch.bytes.data() : scratch.Erased();
    const std::size_t n = std::fread(out, 1, kImageCapacity, file.f);
    scratch.dirty = std::max(scratch.dirty, n);  // fread stored bytes 0..n-1
    if (std::ferror(file.f)) return Refuse(path, "cannot be read");
    if (n == kImageCapacity && std::fgetc(file.f) != EOF)
        return Refuse(path, "is longer than 4 MiB");
    if (std::ferror(file.f)) return Refuse(path, "cannot be read");
    if (n == 0) return Refuse(path, "holds no data");
    if (scratch.dirty > n) std::memset(out + n, 0xFF, scratch.dirty - n);

    LoadResult r;
    r.loaded = true;
    r.checksum = Sum16(out, n);
    image.data.swap(scratch.bytes);
    scratch.dirty = kImageCapacity;  // now the caller's previous buffer
    image.length = static_cast<std::uint32_t>(n);
    return r;
}

// ---------------------------------------------------------------------------------------------
// LoadImageByName

LoadResult LoadImageByName(ImageBuffer& image, const std::string& path) {
    const char letter = path.size() >= 3 ? path[path.size() - 3] : '\0';
    if (letter == 'b' || letter == 'B') return LoadBinImage(image, path);
    if (letter == 'h' || letter == 'H') return LoadHexImage(image, path);
    return Refuse(path, "not a .hex, .h00 or .bin file");
}

}  // namespace qv

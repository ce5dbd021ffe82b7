// The firmware file loaders: every Intel HEX line is validated before it is used, extended
// address records (02, 04) are honoured, nothing is cut silently, and a load is all or nothing
// (built in a scratch buffer, swapped in on success). Files and memory share one parser.

#include "image/ImageLoaders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "text/HexDigits.h"
#include "text/HexFormat.h"

namespace qv {

namespace {

// A valid record is ':' + 2 * (1 + 2 + 1 + 255 + 1) = 521 characters at most, plus its line
// break. Before a record is parsed at least this many characters are in the buffer (or the
// input has ended), so a record never straddles a read.
constexpr std::size_t kMaxRecordBytes = 1 + 2 + 1 + 255 + 1;  // 260
constexpr std::size_t kLookahead = 1024;
constexpr unsigned char kCtrlZ = 0x1A;  // end-of-file mark some editors append

// Per-thread buffers, allocated on first use and reused by every later load.
//
// The scratch image: `bytes` is where a load builds the new image. After a successful load it
// holds the caller's previous buffer, 0xFF from that buffer's erasedFrom on; after a refused
// load it holds what that load wrote. `dirty` bounds the bytes that may differ from 0xFF, so
// the next load erases only those.
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

    // The scratch buffer becomes the image; the image's previous buffer becomes the scratch.
    void SwapInto(ImageBuffer& image, std::size_t length) {
        const std::size_t returned = std::min<std::size_t>(image.erasedFrom, kImageCapacity);
        image.data.swap(bytes);
        image.length = static_cast<std::uint32_t>(length);
        image.erasedFrom = image.length;
        dirty = returned;
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

// Where a load reads from. Read returns fewer bytes than asked only at the end or on an error
// (Failed).
class FileSource {
  public:
    explicit FileSource(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {}
    ~FileSource() {
        if (f_) std::fclose(f_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool Opened() const { return f_ != nullptr; }
    std::size_t Read(void* to, std::size_t want) { return std::fread(to, 1, want, f_); }
    bool Failed() const { return std::ferror(f_) != 0; }

  private:
    std::FILE* f_;
};

class MemorySource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool Opened() const { return true; }
    std::size_t Read(void* to, std::size_t want) {
        const std::size_t n = std::min(want, bytes_.size() - pos_);
        if (n != 0) std::memcpy(to, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    bool Failed() const { return false; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

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

// ---------------------------------------------------------------------------------------------
// Intel HEX

// The text of a source read in chunks: [pos, end) is unparsed text and two NUL sentinels follow
// `end`, so a record can be scanned without bounds checks.
template <class Source>
class LookaheadText {
  public:
    LookaheadText(Source& source, std::size_t chunk)
        : source_(source),
          capacity_(chunk + kLookahead),
          base_(ReadBuffer(capacity_ + 2).data()),
          pos(reinterpret_cast<const unsigned char*>(base_)),
          end(pos) {}

    // Makes sure that at least kLookahead characters (or all that is left) follow `pos`;
    // false when the source cannot be read.
    bool Fill() {
        if (static_cast<std::size_t>(end - pos) >= kLookahead || atEof_) return true;
        std::size_t have = static_cast<std::size_t>(end - pos);
        std::memmove(base_, pos, have);
        while (have < kLookahead && !atEof_) {
            const std::size_t want = capacity_ - have;
            const std::size_t got = source_.Read(base_ + have, want);
            have += got;
            if (got < want) {
                if (source_.Failed()) return false;
                atEof_ = true;
            }
        }
        pos = reinterpret_cast<const unsigned char*>(base_);
        end = pos + have;
        base_[have] = '\0';
        base_[have + 1] = '\0';
        return true;
    }

  private:
    Source& source_;
    const std::size_t capacity_;
    char* const base_;
    bool atEof_ = false;

  public:
    const unsigned char* pos;
    const unsigned char* end;
};

// One record's bytes: count, address, type, data and checksum.
struct HexRecord {
    std::uint8_t bytes[kMaxRecordBytes + 1];
    std::size_t size = 0;

    std::size_t Count() const { return bytes[0]; }
    std::uint32_t Offset() const { return static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2]; }
    std::uint8_t Type() const { return bytes[3]; }
    const std::uint8_t* Data() const { return bytes + 4; }
};

// Reads the hex pairs of the record whose ':' is at `text`, up to its line break (or the end of
// the input); leaves `text` after it. Null, or why the record is refused.
const char* ReadRecord(const unsigned char*& text, const unsigned char* end, HexRecord& record) {
    const unsigned char* q = text + 1;
    std::size_t n = 0;
    bool oddDigit = false;
    for (;;) {
        const std::uint8_t hi = kHexDigitValue[q[0]];
        if (hi > 15) break;
        const std::uint8_t lo = kHexDigitValue[q[1]];
        if (lo > 15) {
            oddDigit = true;
            ++q;
            break;
        }
        if (n == kMaxRecordBytes) {
            n = kMaxRecordBytes + 1;  // too long for any byte count
            break;
        }
        record.bytes[n++] = static_cast<std::uint8_t>(hi << 4 | lo);
        q += 2;
    }
    text = q;
    record.size = n;
    if (n > kMaxRecordBytes) return "byte count does not agree with the record length";
    if (q < end && *q != '\r' && *q != '\n' && *q != kCtrlZ)
        return "record holds a character that is not a hexadecimal digit";
    if (oddDigit) return "record has an odd number of hexadecimal digits";
    if (n < 5) return "record is too short";
    if (n != record.Count() + 5) return "byte count does not agree with the record length";
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + record.bytes[i]);
    if (sum != 0) return "record checksum is wrong";
    return nullptr;
}

// The image the records of one file build in the scratch buffer.
class HexImageBuilder {
  public:
    explicit HexImageBuilder(ScratchImage& scratch) : scratch_(scratch), out_(scratch.Erased()) {}

    // Applies a well-formed record; empty, or why it is refused.
    std::string Apply(const HexRecord& record) {
        const std::size_t count = record.Count();
        switch (record.Type()) {
            case 0x00:  // data
                return count == 0 ? std::string() : StoreData(record);
            case 0x01:  // end of file: changes nothing, reading goes on
                return count == 0 ? std::string() : "end-of-file record holds data";
            case 0x02:  // extended segment address
            case 0x04: {  // extended linear address
                if (count != 2) return "extended address record must hold 2 data bytes";
                const std::uint64_t value =
                    static_cast<std::uint64_t>(record.Data()[0]) << 8 | record.Data()[1];
                upper_ = record.Type() == 0x02 ? value << 4 : value << 16;
                return {};
            }
            case 0x03:  // start segment address
            case 0x05:  // start linear address: no image bytes
                return count == 4 ? std::string() : "start address record must hold 4 data bytes";
            default:
                return "record type " + HexText(record.Type(), 2) + " is not one of 00 to 05";
        }
    }

    bool AnyData() const { return anyData_; }

    // The image becomes `image`'s; its checksum.
    std::uint16_t SwapInto(ImageBuffer& image) {
        const std::uint16_t checksum = Sum16(out_, static_cast<std::size_t>(highest_));
        scratch_.SwapInto(image, static_cast<std::size_t>(highest_));
        return checksum;
    }

  private:
    std::string StoreData(const HexRecord& record) {
        const std::size_t count = record.Count();
        const std::uint64_t address = upper_ + record.Offset();
        if (address + count > kImageCapacity) return "data beyond 4 MiB";
        std::memcpy(out_ + address, record.Data(), count);
        if (address + count > highest_) {
            highest_ = address + count;
            scratch_.dirty = static_cast<std::size_t>(highest_);
        }
        anyData_ = true;
        return {};
    }

    ScratchImage& scratch_;
    std::uint8_t* const out_;
    std::uint64_t upper_ = 0;    // base address from the last 02/04 record
    std::uint64_t highest_ = 0;  // one past the highest byte written
    bool anyData_ = false;
};

template <class Source>
LoadResult LoadHex(ImageBuffer& image, Source& source, const std::string& name, std::size_t chunk) {
    if (!source.Opened()) return Refuse(name, "cannot be opened");
    LookaheadText<Source> text(source, chunk);
    HexImageBuilder builder(Scratch());
    HexRecord record;
    std::size_t line = 1;
    bool lineStart = true;    // nothing read yet on this line
    bool afterCtrlZ = false;  // only Ctrl-Z, blanks and line breaks may follow
    for (;;) {
        if (!text.Fill()) return Refuse(name, "cannot be read");
        if (text.pos == text.end) break;
        const unsigned char c = *text.pos;
        if (c == '\n' || c == '\r') {
            // LF, CR LF and a lone CR each end a line.
            if (c == '\n' || text.pos + 1 == text.end || text.pos[1] != '\n') ++line;
            lineStart = true;
            ++text.pos;
            continue;
        }
        if (c == kCtrlZ) {
            afterCtrlZ = true;
            ++text.pos;
            continue;
        }
        if (c == ' ' || c == '\t') {  // a record never ends in a blank, so this line is blank
            lineStart = false;
            ++text.pos;
            continue;
        }
        if (afterCtrlZ) return Refuse(name, "text follows the end-of-file mark Ctrl-Z", line);
        if (c != ':' || !lineStart) return Refuse(name, "line does not start with ':'", line);
        if (const char* refusal = ReadRecord(text.pos, text.end, record))
            return Refuse(name, refusal, line);
        if (std::string refusal = builder.Apply(record); !refusal.empty())
            return Refuse(name, std::move(refusal), line);
        lineStart = false;
    }
    if (!builder.AnyData()) return Refuse(name, "holds no data");
    LoadResult r;
    r.loaded = true;
    r.checksum = builder.SwapInto(image);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Raw binary

template <class Source>
LoadResult LoadBin(ImageBuffer& image, Source& source, const std::string& name) {
    if (!source.Opened()) return Refuse(name, "cannot be opened");

    ScratchImage& scratch = Scratch();
    std::uint8_t* const out =
        scratch.bytes.size() == kImageCapacity ? scratch.bytes.data() : scratch.Erased();
    const std::size_t n = source.Read(out, kImageCapacity);
    scratch.dirty = std::max(scratch.dirty, n);  // bytes 0..n-1 were stored
    if (source.Failed()) return Refuse(name, "cannot be read");
    if (n == kImageCapacity) {
        std::uint8_t more = 0;
        if (source.Read(&more, 1) == 1) return Refuse(name, "is longer than 4 MiB");
        if (source.Failed()) return Refuse(name, "cannot be read");
    }
    if (n == 0) return Refuse(name, "holds no data");
    if (scratch.dirty > n) std::memset(out + n, 0xFF, scratch.dirty - n);

    LoadResult r;
    r.loaded = true;
    r.checksum = Sum16(out, n);
    scratch.SwapInto(image, n);
    return r;
}

}  // namespace

LoadResult LoadHexImage(ImageBuffer& image, const std::string& path) {
    FileSource source(path);
    return LoadHex(image, source, path, kHexReadSize);
}

LoadResult LoadHexFromMemory(ImageBuffer& image, std::span<const std::uint8_t> text,
                             const std::string& name, std::size_t readSize) {
    MemorySource source(text);
    return LoadHex(image, source, name, std::max<std::size_t>(readSize, 1));
}

LoadResult LoadBinImage(ImageBuffer& image, const std::string& path) {
    FileSource source(path);
    return LoadBin(image, source, path);
}

LoadResult LoadBinFromMemory(ImageBuffer& image, std::span<const std::uint8_t> bytes,
                             const std::string& name) {
    MemorySource source(bytes);
    return LoadBin(image, source, name);
}

LoadResult LoadImageByName(ImageBuffer& image, const std::string& path) {
    const char letter = path.size() >= 3 ? path[path.size() - 3] : '\0';
    if (letter == 'b' || letter == 'B') return LoadBinImage(image, path);
    if (letter == 'h' || letter == 'H') return LoadHexImage(image, path);
    return Refuse(path, "not a .hex, .h00 or .bin file");
}

}  // namespace qv

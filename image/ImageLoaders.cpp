// The firmware file loaders: every Intel HEX line is validated before it is used, extended
// address records (02, 04) are honoured, a file without its end record or with records that
// contradict each other is refused, nothing is cut silently, and a load is all or nothing (built
// in a buffer of its own, swapped in on success). Files and memory share one parser.

#include "image/ImageLoaders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
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
static_assert(kFirmwareFileMaxBytes == 32u << 20, "the refusal of a longer text names 32 MiB");

// Why the text is refused; the load puts the file name (and line) before it.
Problem Refusal(std::string why) {
    return {FailureKind::kOther, std::move(why)};
}

// Where a load reads from. Read returns fewer bytes than asked only at the end or on an error
// (Failed).
class FileSource {
  public:
    explicit FileSource(std::FILE* file) : f_(file) {}

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

// The bytes a load builds, 0xFF where nothing was written; grown as the file writes higher,
// so a small file never pays for the largest flash.
class GrowingImage {
  public:
    std::uint8_t* At(std::size_t address) { return bytes_.data() + address; }
    std::size_t Size() const { return bytes_.size(); }

    // Makes bytes [0, end) addressable.
    void Reach(std::size_t end) {
        if (end <= bytes_.size()) return;
        if (end > bytes_.capacity())
            bytes_.reserve(
                std::min<std::size_t>(std::max(end, 2 * bytes_.capacity()), kImageCapacity));
        bytes_.resize(end, 0xFF);
    }

    // The bytes become the image's, `length` of them.
    void SwapInto(ImageBuffer& image, std::size_t length) {
        bytes_.resize(length);
        image.data.swap(bytes_);
        image.length = static_cast<std::uint32_t>(length);
        image.erasedFrom = image.length;
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Problem Refuse(const std::string& path, const std::string& reason, std::size_t line = 0) {
    std::string text = path.empty() ? std::string("(no file name)") : FileName(path);
    if (line != 0) text += " line " + std::to_string(line);
    return Refusal(text + ": " + reason);
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
          buffer_(new char[capacity_ + 2]),
          pos(reinterpret_cast<const unsigned char*>(buffer_.get())),
          end(pos) {}

    // Makes sure that at least kLookahead characters (or all that is left) follow `pos`;
    // else why the text cannot be read.
    Expected<void> Fill() {
        if (static_cast<std::size_t>(end - pos) >= kLookahead || atEof_) return {};
        char* const base = buffer_.get();
        std::size_t have = static_cast<std::size_t>(end - pos);
        std::memmove(base, pos, have);
        while (have < kLookahead && !atEof_) {
            const std::size_t want = capacity_ - have;
            const std::size_t got = source_.Read(base + have, want);
            have += got;
            total_ += got;
            if (total_ > kFirmwareFileMaxBytes) return Refusal("is larger than 32 MiB");
            if (got < want) {
                if (source_.Failed()) return Refusal("cannot be read");
                atEof_ = true;
            }
        }
        pos = reinterpret_cast<const unsigned char*>(base);
        end = pos + have;
        base[have] = '\0';
        base[have + 1] = '\0';
        return {};
    }

  private:
    Source& source_;
    const std::size_t capacity_;
    // Not value-initialised: only the pages a read fills are ever touched.
    std::unique_ptr<char[]> buffer_;
    std::uint64_t total_ = 0;
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
// the input); leaves `text` after it; else why the record is refused.
Expected<void> ReadRecord(const unsigned char*& text, const unsigned char* end, HexRecord& record) {
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
    if (n > kMaxRecordBytes) return Refusal("byte count does not agree with the record length");
    if (q < end && *q != '\r' && *q != '\n' && *q != kCtrlZ)
        return Refusal("record holds a character that is not a hexadecimal digit");
    if (oddDigit) return Refusal("record has an odd number of hexadecimal digits");
    if (n < 5) return Refusal("record is too short");
    if (n != record.Count() + 5) return Refusal("byte count does not agree with the record length");
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + record.bytes[i]);
    if (sum != 0) return Refusal("record checksum is wrong");
    return {};
}

// The image the records of one file build, with the lines that wrote it: which bytes were
// written (a bitmap as large as the image) and each data record's place, so that a clash names
// the earlier line.
class HexImageBuilder {
  public:
    // Applies a well-formed record of line `line`; else why it is refused.
    Expected<void> Apply(const HexRecord& record, std::size_t line) {
        const std::size_t count = record.Count();
        if (endLine_ != 0)
            return Refusal("record after the end-of-file record of line " + Text(endLine_));
        switch (record.Type()) {
            case 0x00:  // data
                return count == 0 ? Expected<void>() : StoreData(record, line);
            case 0x01:  // end of file
                if (count != 0) return Refusal("end-of-file record holds data");
                endLine_ = line;
                return {};
            case 0x02:    // extended segment address
            case 0x04: {  // extended linear address
                if (count != 2) return Refusal("extended address record must hold 2 data bytes");
                const std::uint64_t value =
                    static_cast<std::uint64_t>(record.Data()[0]) << 8 | record.Data()[1];
                upper_ = record.Type() == 0x02 ? value << 4 : value << 16;
                return {};
            }
            case 0x03:  // start segment address
            case 0x05:  // start linear address: no image bytes
                return count == 4 ? Expected<void>()
                                  : Refusal("start address record must hold 4 data bytes");
            default:
                return Refusal("record type " + HexText(record.Type(), 2) +
                               " is not one of 00 to 05");
        }
    }

    bool AnyData() const { return !records_.empty(); }
    bool Ended() const { return endLine_ != 0; }

    // The image becomes `image`'s; its checksum.
    std::uint16_t SwapInto(ImageBuffer& image) {
        const std::uint16_t checksum = Sum16(bytes_.At(0), static_cast<std::size_t>(highest_));
        bytes_.SwapInto(image, static_cast<std::size_t>(highest_));
        return checksum;
    }

  private:
    struct Written {  // 12 bytes: a file of at most 32 MiB has fewer than 2^32 lines
        std::uint32_t address;
        std::uint32_t count;
        std::uint32_t line;
    };

    static std::string Text(std::size_t n) { return std::to_string(n); }

    Expected<void> StoreData(const HexRecord& record, std::size_t line) {
        const std::size_t count = record.Count();
        const std::uint64_t address = upper_ + record.Offset();
        if (address + count > kImageCapacity) return Refusal("data beyond 4 MiB");
        const std::size_t end = static_cast<std::size_t>(address + count);
        bytes_.Reach(end);
        if (written_.size() * 64 < end) written_.resize(bytes_.Size() / 64 + 1, 0);
        // Records in rising order, as files hold them, cannot meet an earlier one.
        if (address < highest_) {
            if (const auto clash = Clash(static_cast<std::size_t>(address), record.Data(), count))
                return Refusal("gives address 0x" + HexText(static_cast<std::uint32_t>(*clash), 6) +
                               " other data than line " + Text(WriterOf(*clash)));
        }
        std::memcpy(bytes_.At(static_cast<std::size_t>(address)), record.Data(), count);
        MarkWritten(static_cast<std::size_t>(address), end);
        records_.push_back({static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(count),
                            static_cast<std::uint32_t>(line)});
        highest_ = std::max<std::uint64_t>(highest_, end);
        return {};
    }

    // Marks [from, to) written, a word of the bitmap at a time.
    void MarkWritten(std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t bit = from % 64;
            const std::size_t n = std::min<std::size_t>(64 - bit, to - from);
            written_[from / 64] |= (n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1)
                                   << bit;
            from += n;
        }
    }

    // The first address of [address, address + count) written before with another byte.
    std::optional<std::size_t> Clash(std::size_t address, const std::uint8_t* data,
                                     std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t a = address + i;
            if ((written_[a / 64] >> (a % 64) & 1) != 0 && *bytes_.At(a) != data[i]) return a;
        }
        return std::nullopt;
    }

    // The line of the last record that wrote `address`.
    std::size_t WriterOf(std::size_t address) const {
        for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
            if (address >= it->address && address < std::size_t{it->address} + it->count)
                return it->line;
        }
        return 0;
    }

    GrowingImage bytes_;
    std::vector<std::uint64_t> written_;  // one bit per byte of `bytes_`
    std::vector<Written> records_;        // the data records applied, in file order
    std::uint64_t upper_ = 0;             // base address from the last 02/04 record
    std::uint64_t highest_ = 0;           // one past the highest byte written
    std::size_t endLine_ = 0;             // line of the end-of-file record, once read
};

template <class Source>
LoadResult LoadHex(ImageBuffer& image, Source& source, const std::string& name, std::size_t chunk) {
    if (!source.Opened()) return Refuse(name, "cannot be opened");
    LookaheadText<Source> text(source, chunk);
    HexImageBuilder builder;
    HexRecord record;
    std::size_t line = 1;
    std::size_t lastRecordLine = 0;
    bool lineStart = true;    // nothing read yet on this line
    bool afterCtrlZ = false;  // only Ctrl-Z, blanks and line breaks may follow
    for (;;) {
        if (const Expected<void> filled = text.Fill(); !filled.ok())
            return Refuse(name, filled.text());
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
        if (const Expected<void> read = ReadRecord(text.pos, text.end, record); !read.ok())
            return Refuse(name, read.text(), line);
        if (const Expected<void> applied = builder.Apply(record, line); !applied.ok())
            return Refuse(name, applied.text(), line);
        lastRecordLine = line;
        lineStart = false;
    }
    if (!builder.AnyData()) return Refuse(name, "holds no data");
    if (!builder.Ended())
        return Refuse(name, "ends without its end record: incomplete copy?", lastRecordLine);
    return LoadedImage{builder.SwapInto(image)};
}

// ---------------------------------------------------------------------------------------------
// Raw binary

template <class Source>
LoadResult LoadBin(ImageBuffer& image, Source& source, const std::string& name) {
    if (!source.Opened()) return Refuse(name, "cannot be opened");

    // Read in growing steps up to one byte past the largest image, so that a longer file is
    // refused without reading it whole.
    GrowingImage bytes;
    std::size_t n = 0;
    for (std::size_t step = 64u << 10; n <= kImageCapacity; step *= 2) {
        const std::size_t want = std::min(step, kImageCapacity + 1 - n);
        bytes.Reach(n + want);
        const std::size_t got = source.Read(bytes.At(n), want);
        n += got;
        if (got < want) break;
    }
    if (source.Failed()) return Refuse(name, "cannot be read");
    if (n > kImageCapacity) return Refuse(name, "is longer than 4 MiB");
    if (n == 0) return Refuse(name, "holds no data");

    const std::uint16_t checksum = Sum16(bytes.At(0), n);
    bytes.SwapInto(image, n);
    return LoadedImage{checksum};
}

}  // namespace

LoadResult LoadHexFromFile(ImageBuffer& image, std::FILE* file, const std::string& name) {
    FileSource source(file);
    return LoadHex(image, source, name, kHexReadSize);
}

LoadResult LoadHexFromMemory(ImageBuffer& image, std::span<const std::uint8_t> text,
                             const std::string& name, std::size_t readSize) {
    MemorySource source(text);
    return LoadHex(image, source, name, std::max<std::size_t>(readSize, 1));
}

LoadResult LoadBinFromFile(ImageBuffer& image, std::FILE* file, const std::string& name) {
    FileSource source(file);
    return LoadBin(image, source, name);
}

LoadResult LoadBinFromMemory(ImageBuffer& image, std::span<const std::uint8_t> bytes,
                             const std::string& name) {
    MemorySource source(bytes);
    return LoadBin(image, source, name);
}

LoadResult LoadImageByName(ImageBuffer& image, const std::string& path, std::FILE* file) {
    const char letter = path.size() >= 3 ? path[path.size() - 3] : '\0';
    if (letter == 'b' || letter == 'B') return LoadBinFromFile(image, file, path);
    if (letter == 'h' || letter == 'H') return LoadHexFromFile(image, file, path);
    return Refuse(path, "not a .hex, .h00 or .bin file");
}

}  // namespace qv

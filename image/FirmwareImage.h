#pragma once
// The in-memory picture of the serial flash behind the chip, starting at flash address 0,
// its two loaders (Intel HEX and raw binary), the user-parameter table scan and the built-in
// default image. Free of Qt.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr std::uint32_t kImageCapacity = 4u * 1024 * 1024;

// A 4 MiB buffer, allocated once, with the number of bytes loaded into it.
//
// A successful load swaps `data` with the loader's scratch buffer (all or nothing), so the
// vector keeps its size but `data.data()` changes with each successful load: never keep a
// pointer into it across a load.
struct ImageBuffer {
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kImageCapacity, 0xFF);
    std::uint32_t length = 0;
};

// The image the flash is programmed from, and the file it was loaded from.
struct FirmwareImage : ImageBuffer {
    std::string path;
};

// The second image, which the binary-file page loads and searches.
struct ModifyImage : ImageBuffer {};

// ---------------------------------------------------------------------------------------------
// Hex digits

// Turns the first `count` characters into a number, four bits per character: '0'-'9', 'A'-'F'
// and 'a'-'f' give their value, any other character (NUL, line break, blank...) gives 0.
// Reads exactly `count` characters, never more; no error result. ("5\0", 2) gives 0x50.
std::uint32_t ParseHexDigits(const char* chars, std::size_t count);

// ---------------------------------------------------------------------------------------------
// Loaders

struct LoadResult {
    bool loaded = false;         // the file was accepted and now is the image
    std::uint16_t checksum = 0;  // 16-bit additive checksum of what was loaded (0 when refused)
    std::size_t line = 0;        // 1-based line of a refused HEX record, else 0
    std::string error;           // empty when loaded; else "<file name>[ line N]: <reason>"
};

// Intel HEX (".hex", ".h00"). Every record is validated before anything is used (':' then hex
// pairs only, byte count agrees with the record length, record checksum right, type 00..05,
// 01 without data, 02/04 with 2 and 03/05 with 4 data bytes). Types 02 (extended segment,
// base = value * 16) and 04 (extended linear, base = value << 16) set the upper address of the
// data records that follow; 01, 03 and 05 change nothing; records after an EOF record still
// load. Text outside records (anything before a ':', blank lines, CR LF) is ignored. Bytes not
// supplied read 0xFF; length = one past the highest byte written; checksum = sum of
// data[0..length-1] (gap fill included) mod 65536. Refused: a malformed record (with its line),
// data at or beyond 4 MiB, a file with no data bytes, a file that cannot be opened or read.
LoadResult LoadHexImage(ImageBuffer& image, const std::string& path);

// Raw binary (".bin"): byte i of the file is flash address i; length = file size; checksum =
// sum of the bytes read mod 65536; the rest of the buffer reads 0xFF. Refused: an empty file,
// a file longer than 4 MiB, a file that cannot be opened or read.
LoadResult LoadBinImage(ImageBuffer& image, const std::string& path);

// Chooses the loader by the third character from the end of `path` (the first letter of a
// three-letter extension): 'b'/'B' binary, 'h'/'H' Intel HEX; anything else is refused as
// "not a .hex, .h00 or .bin file" without touching the image.
LoadResult LoadImageByName(ImageBuffer& image, const std::string& path);

// All loads are all or nothing: the new image is built in a per-thread scratch buffer of
// kImageCapacity bytes (allocated once, reused) and swapped in only on success. A refused or
// unopenable file leaves `image.data` and `image.length` exactly as they were.

// ---------------------------------------------------------------------------------------------
// User-parameter table and default image

inline constexpr char kUserParameterMarker[] = "QVUSB_Table01";  // 13 characters

// The marker scan over image.data[0 .. image.length): at each p < length whose
// byte is 'Q', counts the consecutive marker characters matching from p, stopping at the first
// difference or at 12; m >= 10 ("QVUSB_Tabl") finds the table at p. The comparison may look up
// to 11 bytes past length, never past the buffer's size.
std::optional<std::uint32_t> FindUserParameterTable(const ImageBuffer& image);

inline constexpr std::size_t kDefaultImageSize = 32768;

// The built-in 32768-byte default image; its layout is documented in image/DefaultImage.cpp.
const std::array<std::uint8_t, kDefaultImageSize>& DefaultImage();

// Copies DefaultImage() over bytes 0..32767 of image.data; image.length is left unchanged.
void CopyDefaultImage(ImageBuffer& image);

namespace detail {
// Test hook: the size of each read of LoadHexImage (default 1 MiB). Small values exercise
// records that straddle reads. 0 restores the default. Not thread-safe; for tests only.
void SetHexReadChunkForTesting(std::size_t bytes);
}  // namespace detail

}  // namespace qv

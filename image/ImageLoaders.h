#pragma once
// The two firmware file loaders (Intel HEX and raw binary), from an open file or from memory.
// The files themselves are opened by the front ends (system/InputFile.h), so that nothing here
// can block on a FIFO or read a device node.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "image/FirmwareImage.h"
#include "result/Expected.h"

namespace qv {

// A file that was accepted and now is the image.
struct LoadedImage {
    std::uint16_t checksum = 0;  // 16-bit additive checksum of what was loaded
};
// A load's outcome; a refusal says "<file name>[ line N]: <reason>".
using LoadResult = Expected<LoadedImage>;

// The largest firmware file the tool reads: a full 4 MiB image in Intel HEX text is about
// 11.5 MB, so this leaves room for short records and CR LF line ends.
inline constexpr std::uint64_t kFirmwareFileMaxBytes = 32u << 20;

// Intel HEX (".hex", ".h00"). A file is whole or refused: it ends with its end-of-file record
// (type 01), after which only blank lines and Ctrl-Z may follow, and no two records give one
// address different bytes (the same bytes twice may pass).
//
// Every line is a record, a blank line (nothing, or only blanks and tabs) or, at the very end,
// Ctrl-Z characters; any other line is refused with its number. Every record is validated before
// anything is used (':' at the start of the line then hex pairs only, byte count agrees with the
// record length, record checksum right, type 00..05, 01 without data, 02/04 with 2 and 03/05
// with 4 data bytes). Types 02 (extended segment, base = value * 16) and 04 (extended linear,
// base = value << 16) set the upper address of the data records that follow; 03 and 05 change
// nothing. Lines end with LF, CR LF or a lone CR. Bytes not supplied read 0xFF; length = one
// past the highest byte written; checksum = sum of data[0..length-1] (gap fill included) mod
// 65536.
// Refused: a malformed line (with its number), data at or beyond 4 MiB, a record that gives a
// byte other data than an earlier line (both lines named), a record after the end-of-file
// record, a file that ends without one ("ends without its end record: incomplete copy?", naming
// its last record's line), a file with no data bytes, more than kFirmwareFileMaxBytes of text,
// a file that cannot be read.
LoadResult LoadHexFromFile(ImageBuffer& image, std::FILE* file, const std::string& name);
// The HEX loader reads its text this many bytes at a time; a record may straddle two reads.
inline constexpr std::size_t kHexReadSize = 256u << 10;
// The same from bytes in memory, read `readSize` bytes at a time as from a file; `name` stands
// for the file name in the error text.
LoadResult LoadHexFromMemory(ImageBuffer& image, std::span<const std::uint8_t> text,
                             const std::string& name, std::size_t readSize = kHexReadSize);

// Raw binary (".bin"): byte i of the file is flash address i; length = file size; checksum =
// sum of the bytes read mod 65536. Refused: an empty file, a file longer than 4 MiB, a file
// that cannot be read.
LoadResult LoadBinFromFile(ImageBuffer& image, std::FILE* file, const std::string& name);
// The same from bytes in memory; `name` stands for the file name in the error text.
LoadResult LoadBinFromMemory(ImageBuffer& image, std::span<const std::uint8_t> bytes,
                             const std::string& name);

// Chooses the loader by the third character from the end of `path` (the first letter of a
// three-letter extension): 'b'/'B' binary, 'h'/'H' Intel HEX; anything else is refused as
// "not a .hex, .h00 or .bin file" without reading `file`. `path` names the file in messages.
LoadResult LoadImageByName(ImageBuffer& image, const std::string& path, std::FILE* file);

// All loads are all or nothing: the new image is built in a buffer of its own, sized by what
// the file writes, and swapped in only on success. A refused file leaves `image.data`,
// `image.length` and `image.erasedFrom` exactly as they were.

}  // namespace qv

// qvtool image FILE [--out BIN]

#include "cli/ImageCommand.h"

#include <cstdio>
#include <string>

#include "image/ImageLoaders.h"
#include "image/ParameterTableScan.h"

namespace qv {
namespace {

std::string HexText(std::uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        s[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return s;
}

const char* FormatName(const std::string& file) {
    const char letter = file.size() >= 3 ? file[file.size() - 3] : '\0';
    return letter == 'b' || letter == 'B' ? "binary" : "Intel HEX";
}

}  // namespace

int RunImageCommand(const std::string& file, const std::string& outBin, std::ostream& out,
                    std::ostream& err) {
    // One image per run; the buffers are allocated once here.
    FirmwareImage image;
    image.path = file;
    const LoadResult result = LoadImageByName(image, file);
    if (!result.loaded) {
        err << "qvtool image: " << result.error << '\n';
        return 1;
    }

    out << "File     : " << file << " (" << FormatName(file) << ")\n";
    out << "Length   : " << image.length << " bytes (0x" << HexText(image.length, 6) << ")\n";
    out << "Checksum : 0x" << HexText(result.checksum, 4) << '\n';
    if (const auto table = FindUserParameterTable(image))
        out << "User parameter table at 0x" << HexText(*table, 6) << '\n';
    else
        out << "User parameter table not found\n";

    if (!outBin.empty()) {
        std::FILE* f = std::fopen(outBin.c_str(), "wb");
        if (f == nullptr) {
            err << "qvtool image: " << outBin << ": cannot be created\n";
            return 1;
        }
        const bool written = std::fwrite(image.data.data(), 1, image.length, f) == image.length;
        const bool closed = std::fclose(f) == 0;
        if (!written || !closed) {
            err << "qvtool image: " << outBin << ": cannot be written\n";
            return 1;
        }
        out << "Wrote    : " << outBin << " (" << image.length << " bytes)\n";
    }
    return 0;
}

}  // namespace qv

#include "flash/ReadBackDump.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qv {
namespace {

constexpr std::uint32_t kRowBytes = 16;
constexpr int kTemporaryNameTries = 100;
constexpr std::size_t kWriteChunk = 1u << 16;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// "0xHH, " for each of the 16 bytes, then a carriage return.
void AppendRow(std::string& text, const std::uint8_t* row) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::uint32_t k = 0; k < kRowBytes; ++k) {
        const char cell[] = {'0', 'x', kDigits[row[k] >> 4], kDigits[row[k] & 0x0F], ',', ' '};
        text.append(cell, sizeof cell);
    }
    text.push_back('\r');
}

// Creates a file next to `path` that did not exist before, and gives its name.
File CreateTemporaryBeside(const std::string& path, std::string& name) {
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = path + ".part" + std::to_string(attempt);
        // "x": fail rather than take over a file that already exists.
        if (std::FILE* file = std::fopen(name.c_str(), "wbx")) return File(file);
        if (errno != EEXIST) break;
    }
    return nullptr;
}

// errno after a failed call; some C libraries leave it unset for stream errors.
int LastError() {
    return errno != 0 ? errno : EIO;
}

std::string Failure(const std::string& path, const std::string& reason) {
    return "Cannot write " + path + ": " + reason;
}

}  // namespace

DumpResult WriteReadBackDump(const std::vector<std::uint8_t>& buffer, std::uint32_t end,
                             const std::string& path) {
    const std::uint64_t rowsEnd = (std::uint64_t{end} + kRowBytes - 1) / kRowBytes * kRowBytes;
    if (rowsEnd > buffer.size()) return {false, Failure(path, "the range passes the buffer")};
    std::string temporary;
    File file = CreateTemporaryBeside(path, temporary);
    if (!file) return {false, Failure(path, std::strerror(LastError()))};

    std::string text;
    int error = 0;
    for (std::uint64_t p = 0; p < end && error == 0; p += kRowBytes) {
        AppendRow(text, buffer.data() + p);
        if (text.size() >= kWriteChunk || p + kRowBytes >= end) {
            if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) {
                error = LastError();
            }
            text.clear();
        }
    }
    if (error == 0 && std::fflush(file.get()) != 0) error = LastError();
    if (std::fclose(file.release()) != 0 && error == 0) error = LastError();
    std::error_code renameError;
    if (error == 0) std::filesystem::rename(temporary, path, renameError);
    if (error == 0 && !renameError) return {true, {}};

    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return {false, Failure(path, renameError ? renameError.message() : std::strerror(error))};
}

}  // namespace qv

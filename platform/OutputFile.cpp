#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qv {
namespace {

namespace fs = std::filesystem;

constexpr int kLinkHops = 40;
constexpr int kTemporaryNameTries = 100;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string FullPath(const fs::path& path) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored);
    return (absolute.empty() ? path : absolute).string();
}

// errno after a failed call; some C libraries leave it unset for stream errors.
int LastError() {
    return errno != 0 ? errno : EIO;
}

// Creates a file next to `path` that did not exist before, and gives its name.
File CreateTemporaryBeside(const std::string& path, std::string& name, int& error) {
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = path + ".part" + std::to_string(attempt);
        errno = 0;
        // "x": fail rather than take over a file that already exists.
        if (std::FILE* file = std::fopen(name.c_str(), "wbx")) return File(file);
        error = LastError();
        if (error != EEXIST) break;
    }
    return nullptr;
}

const char* KindRefused(fs::file_type type) {
    switch (type) {
        case fs::file_type::directory:
            return "is a folder";
        case fs::file_type::character:
        case fs::file_type::block:
            return "is a device node";
        case fs::file_type::fifo:
            return "is a FIFO";
        case fs::file_type::socket:
            return "is a socket";
        default:
            return "is not a regular file";
    }
}

}  // namespace

OutputTarget CheckOutputFile(const std::string& path) {
    if (path.empty()) return {path, "no output file was named"};
    fs::path target = path;
    std::error_code ec;
    for (int hop = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
        if (hop == kLinkHops) return {path, FullPath(path) + ": too many levels of links"};
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) return {path, FullPath(target) + ": " + ec.message()};
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return {path, FullPath(target) + " " + KindRefused(status.type()) +
                          ", not a regular file; nothing was written"};
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec)) {
        return {path, FullPath(target) + ": the folder " + FullPath(folder) + " does not exist"};
    }
    // Proves the folder takes a new file now rather than after a long read from the device.
    std::string probe;
    int error = 0;
    if (!CreateTemporaryBeside(target.string(), probe, error)) {
        return {path, FullPath(target) + ": cannot be created: " + std::strerror(error)};
    }
    fs::remove(probe, ec);
    return {target.string(), {}};
}

std::string ReplaceFileContents(const OutputTarget& target, std::string_view bytes) {
    if (!target.error.empty()) return target.error;
    std::string temporary;
    int error = 0;
    File file = CreateTemporaryBeside(target.path, temporary, error);
    if (!file) return FullPath(target.path) + ": cannot be created: " + std::strerror(error);
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0) {
        error = LastError();
    }
    if (std::fclose(file.release()) != 0 && error == 0) error = LastError();
    std::error_code renameError;
    if (error == 0) fs::rename(temporary, target.path, renameError);
    if (error == 0 && !renameError) return {};
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return FullPath(target.path) +
           ": cannot be written: " + (renameError ? renameError.message() : std::strerror(error));
}

}  // namespace qv

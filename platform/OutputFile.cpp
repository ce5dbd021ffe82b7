#include "platform/OutputFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qv {
namespace {

namespace fs = std::filesystem;

constexpr int kLinkHops = 40;
constexpr int kTemporaryNameTries = 20;
// The longest file name most file systems take, in bytes.
constexpr std::size_t kNameMax = 255;
constexpr std::size_t kRandomLetters = 6;
constexpr std::string_view kTemporaryEnd = ".part";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// errno after a failed call; some C libraries leave it unset for stream errors.
int LastError() {
    return errno != 0 ? errno : EIO;
}

// "<name>.<6 random letters>.part" in the folder of `path`, with the name shortened (never
// inside a UTF-8 sequence) so the whole stays within kNameMax bytes.
std::string TemporaryName(const fs::path& path, std::mt19937& random) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = path.filename().string();
    const std::size_t room = kNameMax - 1 - kRandomLetters - kTemporaryEnd.size();
    if (name.size() > room) {
        name.resize(room);
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
    }
    name += '.';
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (std::size_t i = 0; i < kRandomLetters; ++i) name += kLetters[letter(random)];
    name += kTemporaryEnd;
    return (path.parent_path() / name).string();
}

// Creates a file next to `path` that did not exist before (O_EXCL), and gives its name. A
// leftover of a killed run never blocks: each try takes a new random name.
File CreateTemporaryBeside(const std::string& path, std::string& name, int& error) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = TemporaryName(path, random);
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

// Gives the new file the permissions of the one it replaces.
int KeepMode(std::FILE* file, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return 0;  // a new file: the usual permissions
#ifdef _WIN32
    (void)file;
    return 0;  // Windows files carry no POSIX mode beyond read-only, which a rename keeps
#else
    return ::fchmod(fileno(file), old.st_mode & 07777) == 0 ? 0 : LastError();
#endif
}

}  // namespace

std::string FullPath(const std::string& path) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored);
    return (absolute.empty() ? fs::path(path) : absolute).string();
}

std::string NotARegularFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status) || fs::is_regular_file(status)) return {};
    return FullPath(path) + " " + KindRefused(status.type()) + ", not a regular file";
}

OutputTarget CheckOutputFile(const std::string& path) {
    if (path.empty()) return {path, "no output file was named"};
    fs::path target = path;
    std::error_code ec;
    for (int hop = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
        if (hop == kLinkHops) return {path, FullPath(path) + ": too many levels of links"};
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) return {path, FullPath(target.string()) + ": " + ec.message()};
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    if (const std::string kind = NotARegularFile(target.string()); !kind.empty())
        return {path, kind + "; nothing was written"};
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec)) {
        return {path, FullPath(target.string()) + ": the folder " + FullPath(folder.string()) +
                          " does not exist"};
    }
    // Proves the folder takes a new file now rather than after a long read from the device.
    std::string probe;
    int error = 0;
    if (!CreateTemporaryBeside(target.string(), probe, error)) {
        return {path, FullPath(target.string()) + ": cannot be created: " + std::strerror(error)};
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
    if (error == 0) error = KeepMode(file.get(), target.path);
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

#include "system/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "system/RegularFile.h"

#ifdef _WIN32
#include <io.h>
#else
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

// errno after a failed call; some C libraries leave it unset.
int LastError() {
    return errno != 0 ? errno : EIO;
}

#ifdef _WIN32
constexpr int kCreateFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
constexpr int kCreateMode = _S_IREAD | _S_IWRITE;
int SyncFile(int descriptor) {
    return _commit(descriptor);
}
#else
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
constexpr int kCreateMode = 0666;
int SyncFile(int descriptor) {
    return fsync(descriptor);
}
#endif

// A descriptor that closes itself; Release() hands over the closing, with its result.
class File {
  public:
    File() = default;
    explicit File(int descriptor) : descriptor_(descriptor) {}
    ~File() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    File(File&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = -1; }
    File& operator=(File&&) = delete;
    explicit operator bool() const { return descriptor_ >= 0; }
    int get() const { return descriptor_; }
    // Closes now; 0, or the error of a close that failed (NFS reports a failed write there).
    int Close() {
        const int result = close(descriptor_);
        descriptor_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int descriptor_ = -1;
};

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

// Creates a file next to `path` that did not exist before (O_EXCL: never a FIFO, a device or a
// link someone placed there), and gives its name. A leftover of a killed run never blocks: each
// try takes a new random name.
File CreateTemporaryBeside(const std::string& path, std::string& name, int& error) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = TemporaryName(path, random);
        File file(open(name.c_str(), kCreateFlags, kCreateMode));
        if (file) return file;
        error = LastError();
        if (error != EEXIST) break;
    }
    return File();
}

// Writes all of `bytes`, resuming after interruptions and short writes; 0 or the error.
int WriteAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written =
            write(descriptor, bytes.data(),
                  static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30)));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return LastError();
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// After a rename the folder's entry goes to the disk too, so the new name survives a power cut.
// Best effort: the file was synced before the rename, so whichever name a crash keeps, it names
// a whole file. Windows makes the rename durable itself.
void SyncFolder(const fs::path& file) {
#ifdef _WIN32
    (void)file;
#else
    const fs::path parent = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    File folder(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) SyncFile(folder.get());
#endif
}

// Gives the new file the permissions of the one it replaces.
int KeepMode(int descriptor, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return 0;  // a new file: the usual permissions
#ifdef _WIN32
    (void)descriptor;
    return 0;  // Windows files carry no POSIX mode beyond read-only, which a rename keeps
#else
    return ::fchmod(descriptor, old.st_mode & 07777) == 0 ? 0 : LastError();
#endif
}

}  // namespace

std::string FullPath(const std::string& path) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored);
    return (absolute.empty() ? fs::path(path) : absolute).string();
}

Expected<void> RegularOrAbsent(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        // Absent is fine; a name too long or a folder that cannot be searched is not.
        if (errno == ENOENT) return {};
        return Problem{FailureKind::kOther, FullPath(path) + ": " + std::strerror(errno)};
    }
    if (S_ISREG(status.st_mode)) return {};
    return Problem{FailureKind::kOther,
                   FullPath(path) + " " + FileKindText(status.st_mode) + ", not a regular file"};
}

Expected<OutputTarget> CheckOutputFile(const std::string& path) {
    const auto refuse = [](std::string why) {
        return Problem{FailureKind::kOther, std::move(why)};
    };
    if (path.empty()) return refuse("no output file was named");
    fs::path target = path;
    std::error_code ec;
    for (int hop = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
        if (hop == kLinkHops) return refuse(FullPath(path) + ": too many levels of links");
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) return refuse(FullPath(target.string()) + ": " + ec.message());
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    if (const Expected<void> regular = RegularOrAbsent(target.string()); !regular.ok())
        return refuse(regular.text() + "; nothing was written");
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec)) {
        return refuse(FullPath(target.string()) + ": the folder " + FullPath(folder.string()) +
                      " does not exist");
    }
    // Proves the folder takes a new file now rather than after a long read from the device.
    std::string probe;
    int error = 0;
    if (!CreateTemporaryBeside(target.string(), probe, error))
        return refuse(FullPath(target.string()) + ": cannot be created: " + std::strerror(error));
    fs::remove(probe, ec);
    return OutputTarget{target.string()};
}

Expected<void> ReplaceFileContents(const OutputTarget& target, std::string_view bytes) {
    std::string temporary;
    int error = 0;
    File file = CreateTemporaryBeside(target.path, temporary, error);
    if (!file) {
        return Problem{FailureKind::kOther,
                       FullPath(target.path) + ": cannot be created: " + std::strerror(error)};
    }
    error = WriteAll(file.get(), bytes);
    if (error == 0) error = KeepMode(file.get(), target.path);
    // On the disk before it takes the target's name: else a power cut can leave an empty file
    // behind a run that said it wrote it.
    if (error == 0 && SyncFile(file.get()) != 0) error = LastError();
    if (const int closed = file.Close(); error == 0) error = closed;
    std::error_code renameError;
    if (error == 0) fs::rename(temporary, target.path, renameError);
    if (error == 0 && !renameError) {
        SyncFolder(target.path);
        return {};
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return Problem{FailureKind::kOther,
                   FullPath(target.path) + ": cannot be written: " +
                       (renameError ? renameError.message() : std::strerror(error))};
}

}  // namespace qv

#include "system/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>

#include "system/OutputFile.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qv {
namespace {

constexpr std::size_t kReadStep = 1 << 16;

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
using FileStatus = struct _stat64;
int StatusOf(int descriptor, FileStatus& status) {
    return _fstat64(descriptor, &status);
}
#else
// Non-blocking: an open of a FIFO without a writer returns at once, and fstat then refuses it.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
using FileStatus = struct stat;
int StatusOf(int descriptor, FileStatus& status) {
    return fstat(descriptor, &status);
}
#endif

std::string Mebibytes(std::uint64_t bytes) {
    return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MiB"
                               : std::to_string(bytes) + " bytes";
}

class Descriptor {
  public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

}  // namespace

Expected<std::FILE*> OpenRegularFileToAppend(const std::string& path) {
#ifdef _WIN32
    const int descriptor = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_BINARY, 0666);
#else
    const int descriptor =
        open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
#endif
    if (descriptor < 0)
        return Problem{FailureKind::kOther,
                       FullPath(path) + ": cannot be opened: " + std::strerror(errno)};
    FileStatus status{};
    std::string problem;
    if (StatusOf(descriptor, status) != 0) {
        problem = FullPath(path) + ": cannot be opened: " + std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        problem = FullPath(path) + " " + FileKindText(status.st_mode) + ", not a regular file";
    }
#ifndef _WIN32
    // Blocking again for the writes: a regular file never blocks, but a full pipe would.
    if (problem.empty() && fcntl(descriptor, F_SETFL, O_RDWR | O_APPEND) != 0)
        problem = FullPath(path) + ": cannot be opened: " + std::strerror(errno);
#endif
    std::FILE* file = problem.empty() ? fdopen(descriptor, "a+b") : nullptr;
    if (file == nullptr) {
        if (problem.empty())
            problem = FullPath(path) + ": cannot be opened: " + std::strerror(errno);
        close(descriptor);
        return Problem{FailureKind::kOther, problem};
    }
    return file;
}

const char* FileKindText(unsigned mode) {
    if (S_ISDIR(mode)) return "is a folder";
    if (S_ISCHR(mode)) return "is a device node";
#ifndef _WIN32
    if (S_ISBLK(mode)) return "is a device node";
    if (S_ISSOCK(mode)) return "is a socket";
#endif
    if (S_ISFIFO(mode)) return "is a FIFO";
    return "is not a regular file";
}

Expected<std::optional<std::string>> ReadRegularFile(const std::string& path,
                                                     std::uint64_t maxBytes) {
    const auto refuse = [&](std::string why) {
        return Problem{FailureKind::kOther, FullPath(path) + std::move(why)};
    };
    const Descriptor file(open(path.c_str(), kOpenFlags));
    if (file.get() < 0) {
        if (errno == ENOENT) return std::optional<std::string>();
        return refuse(std::string(": cannot be opened: ") + std::strerror(errno));
    }
    FileStatus status{};
    if (StatusOf(file.get(), status) != 0)
        return refuse(std::string(": cannot be read: ") + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return refuse(std::string(" ") + FileKindText(status.st_mode) + ", not a regular file");
    const auto tooLarge = [&] {
        return refuse(" is larger than " + Mebibytes(maxBytes) + ", the most it may hold");
    };
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes) return tooLarge();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char step[kReadStep];
    for (;;) {
        const auto got = read(file.get(), step, sizeof step);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return refuse(std::string(": cannot be read: ") + std::strerror(errno));
        if (got == 0) return std::optional<std::string>(std::move(bytes));
        // A file that grew since fstat is held to the same bound.
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) return tooLarge();
        bytes.append(step, static_cast<std::size_t>(got));
    }
}

}  // namespace qv

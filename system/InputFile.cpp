#include "system/InputFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "system/OutputFile.h"
#include "system/RegularFile.h"

namespace qv {
namespace {

std::string SizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kMiB = 1u << 20;
    return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                             : std::to_string(bytes) + " bytes";
}

}  // namespace

Expected<InputFile> InputFile::Open(const std::string& path, std::uint64_t maxBytes) {
    const auto refuse = [&](std::string why) {
        return Problem{FailureKind::kOther, FullPath(path) + ": " + std::move(why)};
    };
    errno = 0;
#ifdef _WIN32
    // Windows opens a pipe or a device without waiting for a writer; fstat tells them apart.
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    const int fd = stream ? _fileno(stream) : -1;
#else
    // O_NONBLOCK: the open of a FIFO returns at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    std::FILE* stream = nullptr;
#endif
    if (fd < 0)
        return refuse(std::string("cannot be opened: ") + std::strerror(errno ? errno : ENOENT));
    struct stat status {};
    const bool known = ::fstat(fd, &status) == 0;
    const int statError = errno;
    const char* kind = known && !S_ISREG(status.st_mode) ? FileKindText(status.st_mode) : nullptr;
    if (!known || kind != nullptr || static_cast<std::uint64_t>(status.st_size) > maxBytes) {
#ifdef _WIN32
        std::fclose(stream);
#else
        ::close(fd);
#endif
        return refuse(!known ? std::string("cannot be read: ") + std::strerror(statError)
                      : kind ? std::string(kind) + ", not a regular file"
                             : "is larger than " + SizeText(maxBytes));
    }
#ifndef _WIN32
    // Reads of a regular file never wait; the stream reads as from any other file.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        return refuse(std::string("cannot be read: ") + std::strerror(error));
    }
#endif
    InputFile file;
    file.stream_.reset(stream);
    return file;
}

}  // namespace qv

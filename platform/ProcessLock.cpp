#include "platform/ProcessLock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qv {
namespace {

constexpr std::size_t kReadableLength = 48;
constexpr std::chrono::milliseconds kRetryEvery{50};

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string InUse(long process) {
    return process > 0 ? "in use by process " + std::to_string(process)
                       : "in use by another program";
}

#ifdef _WIN32

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // LockName gives ASCII only
}

// The holder's process id sits in a small shared block named after the mutex.
long ReadHolder(const std::string& name) {
    HANDLE block = OpenFileMappingW(FILE_MAP_READ, FALSE, Wide(name + "-holder").c_str());
    if (block == nullptr) return 0;
    long process = 0;
    if (const void* view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
        process = static_cast<long>(*static_cast<const DWORD*>(view));
        UnmapViewOfFile(view);
    }
    CloseHandle(block);
    return process;
}

#else

// Where the lock files live: shared by every user where possible.
std::string LockFolder() {
    if (const char* chosen = std::getenv("QV4820_LOCK_DIR"); chosen != nullptr && *chosen != 0)
        return chosen;
    if (access("/run/lock", W_OK | X_OK) == 0) return "/run/lock";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != 0)
        return runtime;
    return "/tmp";
}

long ReadHolder(int descriptor) {
    char text[32] = {};
    const ssize_t got = pread(descriptor, text, sizeof text - 1, 0);
    return got > 0 ? std::strtol(text, nullptr, 10) : 0;
}

#endif

}  // namespace

std::string LockName(const std::string& key, const std::string& readable) {
    std::string name = "qv4820-";
    for (const char c : readable.substr(0, kReadableLength)) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        name += safe ? c : '_';
    }
    char hash[20];
    std::snprintf(hash, sizeof hash, "-%016llx", static_cast<unsigned long long>(Fnv1a(key)));
    return name + hash;
}

#ifdef _WIN32

std::unique_ptr<ProcessLock> ProcessLock::Acquire(const std::string& key,
                                                  const std::string& readable,
                                                  std::chrono::milliseconds wait,
                                                  std::string& error) {
    const std::string name = "Local\\" + LockName(key, readable);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name).c_str());
    if (mutex == nullptr) {
        error = "no lock could be made (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(wait.count()));
    // An abandoned mutex belonged to a program that ended without letting go: it is ours now.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        error = InUse(ReadHolder(name));
        CloseHandle(mutex);
        return nullptr;
    }
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(DWORD), Wide(name + "-holder").c_str());
    if (block != nullptr) {
        if (void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
            *static_cast<DWORD*>(view) = GetCurrentProcessId();
            UnmapViewOfFile(view);
        }
    }
    // The block stays open with the mutex, so it lives as long as the lock.
    return std::unique_ptr<ProcessLock>(new ProcessLock(reinterpret_cast<std::intptr_t>(mutex),
                                                        reinterpret_cast<std::intptr_t>(block)));
}

ProcessLock::~ProcessLock() {
    HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    if (holder_ != 0) CloseHandle(reinterpret_cast<HANDLE>(holder_));
}

#else

std::unique_ptr<ProcessLock> ProcessLock::Acquire(const std::string& key,
                                                  const std::string& readable,
                                                  std::chrono::milliseconds wait,
                                                  std::string& error) {
    const std::string path = LockFolder() + "/" + LockName(key, readable) + ".lock";
    int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    const bool writable = descriptor >= 0;
    // Another user's lock file: reading is enough to lock it.
    if (descriptor < 0) descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) {
        error = "no lock could be made at " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // So that the programs of other users can take it later; fails harmlessly when not ours.
    if (writable) fchmod(descriptor, 0666);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "no lock could be made at " + path + ": " + std::strerror(errno);
            close(descriptor);
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = InUse(ReadHolder(descriptor));
            close(descriptor);
            return nullptr;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
    if (writable) {
        const std::string process = std::to_string(getpid()) + "\n";
        if (ftruncate(descriptor, 0) == 0) {
            [[maybe_unused]] const ssize_t written =
                pwrite(descriptor, process.data(), process.size(), 0);
        }
    }
    return std::unique_ptr<ProcessLock>(new ProcessLock(descriptor, 0));
}

ProcessLock::~ProcessLock() {
    // Closing lets go of the lock; the file stays for the next program.
    close(static_cast<int>(handle_));
}

#endif

}  // namespace qv

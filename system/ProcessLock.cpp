#include "system/ProcessLock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
// After windows.h.
#include <sddl.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

#include "system/StopSignals.h"

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

Problem Refused(std::string why) {
    return {FailureKind::kOther, std::move(why)};
}

// Another program holds the lock; a stop request that ended the wait says so first.
Problem Held(long process) {
    if (StopRequested()) {
        return Refused(std::string("stopped by ") + StopRequestName() +
                       " while waiting: " + InUse(process));
    }
    return {FailureKind::kBusy, InUse(process)};
}

#ifdef _WIN32

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // LockName gives ASCII only
}

// The holder's process id sits in a small shared block named after the mutex: in the global
// namespace where the holder may make one there (services, administrators), else in its session.
long ReadHolder(const std::string& name) {
    HANDLE block =
        OpenFileMappingW(FILE_MAP_READ, FALSE, Wide("Global\\" + name + "-holder").c_str());
    if (block == nullptr)
        block = OpenFileMappingW(FILE_MAP_READ, FALSE, Wide("Local\\" + name + "-holder").c_str());
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

constexpr const char* kSharedFolder = "/tmp/qv4820-locks";

bool SharedByEveryone(const struct stat& folder) {
    return S_ISDIR(folder.st_mode) && (folder.st_mode & 01777) == 01777;
}

// The folder of the lock files, the same for every user and root: QV4820_LOCK_DIR when set;
// else /run/lock where every user may make files in it (sticky, world-writable); else
// kSharedFolder, made so.
Expected<std::string> LockFolder() {
    if (const char* chosen = std::getenv("QV4820_LOCK_DIR"); chosen != nullptr && *chosen != 0) {
        struct stat folder {};
        if (stat(chosen, &folder) != 0) {
            return Refused(std::string("the lock folder ") + chosen +
                           " (QV4820_LOCK_DIR) cannot be used: " + std::strerror(errno));
        }
        if (!S_ISDIR(folder.st_mode))
            return Refused(std::string("the lock folder ") + chosen +
                           " (QV4820_LOCK_DIR) is not a folder");
        return std::string(chosen);
    }
    struct stat folder {};
    if (stat("/run/lock", &folder) == 0 && SharedByEveryone(folder))
        return std::string("/run/lock");
    // Made by whichever program comes first; umask would narrow mkdir's mode.
    if (mkdir(kSharedFolder, 01777) == 0) chmod(kSharedFolder, 01777);
    // lstat: a link placed there by someone else is not the folder.
    if (lstat(kSharedFolder, &folder) != 0) {
        return Refused(std::string("the lock folder ") + kSharedFolder +
                       " cannot be made: " + std::strerror(errno));
    }
    if (!SharedByEveryone(folder)) {
        return Refused(
            std::string("the lock folder ") + kSharedFolder +
            " is not a folder every user may use (sticky and writable by all); remove it");
    }
    return std::string(kSharedFolder);
}

// The lock file, opened without following a link or blocking: for writing where this user may,
// else for reading, which is enough to lock it.
int OpenLockFile(const std::string& path, bool& writable) {
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int descriptor = open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
    writable = descriptor >= 0;
    // Another user's lock file in a sticky folder (the kernel may refuse O_CREAT on it).
    if (descriptor < 0 && (errno == EACCES || errno == EPERM)) {
        const int refused = errno;
        descriptor = open(path.c_str(), O_RDONLY | kFlags);
        // No such file either: the folder itself refused to take it.
        if (descriptor < 0 && errno == ENOENT) errno = refused;
    }
    return descriptor;
}

// Whether this user owns the opened lock file, when it is one this tool made: a regular file
// with one name. A link to another file, or a FIFO, placed under the lock's name is never
// changed or waited on.
Expected<bool> OwnLockFile(int descriptor, const std::string& path) {
    struct stat file {};
    if (fstat(descriptor, &file) != 0) return Refused(path + ": " + std::strerror(errno));
    if (!S_ISREG(file.st_mode) || file.st_nlink != 1)
        return Refused(path +
                       " is not a lock file of this tool (not a regular file with one name); "
                       "remove it");
    return file.st_uid == geteuid();
}

long ReadHolder(int descriptor) {
    char text[32] = {};
    const ssize_t got = pread(descriptor, text, sizeof text - 1, 0);
    const long process = got > 0 ? std::strtol(text, nullptr, 10) : 0;
    // The number a holder that could not write left there may name a process long gone.
    return process > 0 && (kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM) ? process
                                                                                        : 0;
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

Expected<std::unique_ptr<ProcessLock>> ProcessLock::Acquire(const std::string& key,
                                                            const std::string& readable,
                                                            std::chrono::milliseconds wait) {
    const std::string name = LockName(key, readable);
    // Global: one lock for every session (a service, another user's login, a remote desktop).
    // Everyone may wait on it and release it, whoever made it first.
    PSECURITY_DESCRIPTOR everyone = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                         &everyone, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, everyone, FALSE};
    HANDLE mutex =
        CreateMutexExW(everyone != nullptr ? &attributes : nullptr, Wide("Global\\" + name).c_str(),
                       0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    const DWORD created = GetLastError();
    if (everyone != nullptr) LocalFree(everyone);
    if (mutex == nullptr)
        return Refused("no lock could be made (error " + std::to_string(created) + ")");
    // In short waits, so that a stop request ends the wait.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    DWORD waited = WAIT_TIMEOUT;
    for (;;) {
        waited = WaitForSingleObject(mutex, static_cast<DWORD>(kRetryEvery.count()));
        if (waited != WAIT_TIMEOUT || StopRequested() ||
            std::chrono::steady_clock::now() >= deadline)
            break;
    }
    // An abandoned mutex belonged to a program that ended without letting go: it is ours now.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const Problem held = Held(ReadHolder(name));
        CloseHandle(mutex);
        return held;
    }
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(DWORD), Wide("Global\\" + name + "-holder").c_str());
    // Without the right to make global objects (an ordinary user's session), in the session.
    if (block == nullptr) {
        block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                   Wide("Local\\" + name + "-holder").c_str());
    }
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

Expected<std::unique_ptr<ProcessLock>> ProcessLock::Acquire(const std::string& key,
                                                            const std::string& readable,
                                                            std::chrono::milliseconds wait) {
    const Expected<std::string> folder = LockFolder();
    if (!folder.ok()) return folder.problem();
    const std::string path = *folder + "/" + LockName(key, readable) + ".lock";
    bool writable = false;
    const int descriptor = OpenLockFile(path, writable);
    if (descriptor < 0) {
        return Refused(errno == ENOENT || errno == EACCES || errno == EROFS
                           ? "the lock folder " + *folder +
                                 " takes no new files: " + std::strerror(errno)
                           : "no lock could be made at " + path + ": " + std::strerror(errno));
    }
    const Expected<bool> own = OwnLockFile(descriptor, path);
    if (!own.ok()) {
        close(descriptor);
        return Refused("no lock could be made: " + own.text());
    }
    // So that the programs of other users can take it later (umask narrowed the mode).
    if (writable && *own) fchmod(descriptor, 0666);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const Problem refused =
                Refused("no lock could be made at " + path + ": " + std::strerror(errno));
            close(descriptor);
            return refused;
        }
        if (StopRequested() || std::chrono::steady_clock::now() >= deadline) {
            const Problem held = Held(ReadHolder(descriptor));
            close(descriptor);
            return held;
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

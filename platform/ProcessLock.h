#pragma once
// An advisory lock that every program of this tool on the machine honours, named by a key (a
// device's path, a state file). It is held until the object goes; a program that ends, however
// it ends, lets go of it. On POSIX systems it is a lock file in $QV4820_LOCK_DIR, /run/lock or
// $XDG_RUNTIME_DIR that holds the holder's process id; on Windows a named mutex.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace qv {

// How long a program waits for another to let go of a device or state file.
inline constexpr std::chrono::milliseconds kLockWait{5000};

class ProcessLock {
  public:
    // Takes the lock named by `key`, waiting up to `wait` for its holder. Null when it could not,
    // with the reason in `error`: "in use by process 1234", or why no lock could be made.
    // `readable` is the start of the lock's name, e.g. "usb-1-2" (made safe for a file name).
    static std::unique_ptr<ProcessLock> Acquire(const std::string& key, const std::string& readable,
                                                std::chrono::milliseconds wait, std::string& error);
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

  private:
    ProcessLock(std::intptr_t handle, std::intptr_t holder) : handle_(handle), holder_(holder) {}
    std::intptr_t handle_;  // file descriptor, or the mutex's HANDLE
    std::intptr_t holder_;  // Windows: the HANDLE of the block that names the holder; else 0
};

// The lock's name: `readable` made safe and short, then a hash of `key`, so two keys never
// share a lock and a long key never makes too long a name.
std::string LockName(const std::string& key, const std::string& readable);

}  // namespace qv

#pragma once
// An advisory lock that every program of this tool on the machine honours, whichever user or
// session runs it, named by a key (a device's path, a state file). It is held until the object
// goes; a program that ends, however it ends, lets go of it. On POSIX systems it is a lock file
// that holds the holder's process id, in $QV4820_LOCK_DIR, else in /run/lock where every user may
// make files there, else in /tmp/qv4820-locks (made sticky and writable by all); a lock file that
// is a link or has a second name is refused, and another user's is locked without a change. On
// Windows it is a mutex in the Global\ namespace that everyone may take.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "result/Expected.h"

namespace qv {

// How long a program waits for another to let go of a device or state file.
inline constexpr std::chrono::milliseconds kLockWait{5000};

class ProcessLock {
  public:
    // Takes the lock named by `key`, waiting up to `wait` for its holder; a stop request
    // (StopSignals) ends the wait. Else why not: "in use by process 1234" (of kind kBusy),
    // "stopped by SIGINT while waiting: in use by ...", or why no lock could be made ("the lock
    // folder /x takes no new files: Read-only file system").
    // `readable` is the start of the lock's name, e.g. "usb-1-2" (made safe for a file name).
    static Expected<std::unique_ptr<ProcessLock>> Acquire(const std::string& key,
                                                          const std::string& readable,
                                                          std::chrono::milliseconds wait);
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

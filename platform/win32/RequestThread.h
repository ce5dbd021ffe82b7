#pragma once
// One I/O control on a thread of its own, so that its deadline holds whatever the driver does:
// a driver that completes a request inside its dispatch routine blocks DeviceIoControl itself,
// and one that ignores the cancel blocks the wait for its result. The request's OVERLAPPED and
// buffers live on the heap, owned by the caller and the thread together; a request the driver
// never lets go of keeps them (and its thread) for good, so the driver never writes into memory
// that is gone.

#include <windows.h>

#include <cstdint>

namespace qv {

enum class RequestEnd {
    kCompleted,  // done, or completed while it was being cancelled: `error` and `returned` say how
    kCancelled,  // not done by the deadline; the driver gave it back after the cancel
    kHeld,       // not done, and the driver kept it through the cancel and its grace
};

struct RequestOutcome {
    RequestEnd end = RequestEnd::kCompleted;
    DWORD error = ERROR_SUCCESS;  // of a completed request
    DWORD returned = 0;           // bytes the driver returned, already in the caller's `out`
};

// Sends the request on `file` (opened for overlapped I/O or not) and waits up to `deadlineMs`;
// then cancels it and waits up to `graceMs` more. Every wait result other than completion counts
// as not done. `out` receives the returned bytes of a request that completed with at least
// `wholeLength` of them; otherwise it stays as it was.
RequestOutcome RunRequest(HANDLE file, DWORD code, const std::uint8_t* in, DWORD inSize,
                          std::uint8_t* out, DWORD outSize, DWORD wholeLength, DWORD deadlineMs,
                          DWORD graceMs);

}  // namespace qv

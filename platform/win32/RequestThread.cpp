#include "platform/win32/RequestThread.h"

#include <algorithm>
#include <vector>

namespace qv {
namespace {

// What the caller and the request's thread share. Each holds one reference; the last to let go
// frees it, so a request the driver holds keeps its buffers as long as the driver may use them.
struct Request {
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD code = 0;
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> out;
    OVERLAPPED overlapped{};
    HANDLE finished = nullptr;  // set by the thread once `error` and `returned` hold
    DWORD error = ERROR_SUCCESS;
    DWORD returned = 0;
    LONG references = 2;
};

void Release(Request* request) {
    if (InterlockedDecrement(&request->references) != 0) return;
    if (request->overlapped.hEvent != nullptr) CloseHandle(request->overlapped.hEvent);
    if (request->finished != nullptr) CloseHandle(request->finished);
    delete request;
}

DWORD WINAPI Send(void* parameter) {
    auto* request = static_cast<Request*>(parameter);
    DWORD returned = 0;
    BOOL done =
        DeviceIoControl(request->file, request->code, request->in.data(),
                        static_cast<DWORD>(request->in.size()), request->out.data(),
                        static_cast<DWORD>(request->out.size()), &returned, &request->overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING)
        done = GetOverlappedResult(request->file, &request->overlapped, &returned, TRUE);
    request->error = done ? ERROR_SUCCESS : GetLastError();
    request->returned = returned;
    SetEvent(request->finished);
    Release(request);
    return 0;
}

RequestOutcome Completed(const Request& request, std::uint8_t* out, DWORD wholeLength) {
    const DWORD kept = std::min<DWORD>(request.returned, static_cast<DWORD>(request.out.size()));
    if (request.error == ERROR_SUCCESS && out != nullptr && kept >= wholeLength)
        std::copy_n(request.out.begin(), kept, out);
    return {RequestEnd::kCompleted, request.error, request.returned};
}

}  // namespace

RequestOutcome RunRequest(HANDLE file, DWORD code, const std::uint8_t* in, DWORD inSize,
                          std::uint8_t* out, DWORD outSize, DWORD wholeLength, DWORD deadlineMs,
                          DWORD graceMs) {
    auto* request = new Request;
    request->file = file;
    request->code = code;
    if (in != nullptr) request->in.assign(in, in + inSize);
    request->out.assign(outSize, 0);
    if (out != nullptr) std::copy_n(out, outSize, request->out.begin());  // OUT data travels here
    request->overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    request->finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = request->overlapped.hEvent != nullptr && request->finished != nullptr
                        ? CreateThread(nullptr, 0, Send, request, 0, nullptr)
                        : nullptr;
    if (thread == nullptr) {
        const DWORD error = GetLastError();
        request->references = 1;
        Release(request);
        return {RequestEnd::kCompleted, error, 0};
    }
    RequestOutcome outcome;
    if (WaitForSingleObject(request->finished, deadlineMs) == WAIT_OBJECT_0) {
        outcome = Completed(*request, out, wholeLength);
    } else {
        // Both: an overlapped request is cancelled by the first, one the driver completes
        // inside DeviceIoControl by the second.
        CancelIoEx(file, &request->overlapped);
        CancelSynchronousIo(thread);
        if (WaitForSingleObject(request->finished, graceMs) != WAIT_OBJECT_0) {
            outcome.end = RequestEnd::kHeld;
        } else if (request->error == ERROR_SUCCESS) {
            outcome = Completed(*request, out, wholeLength);  // it completed as the cancel went out
        } else {
            outcome.end = RequestEnd::kCancelled;
        }
    }
    CloseHandle(thread);
    Release(request);
    return outcome;
}

}  // namespace qv

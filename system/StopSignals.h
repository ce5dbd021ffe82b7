#pragma once
// Stop requests from outside the program: SIGINT, SIGTERM and SIGHUP on POSIX systems; Ctrl-C,
// Ctrl-Break and closing the console on Windows. While the handlers are installed, the first
// request only raises a flag that the running work reads at its next safe point (a device left
// half-updated in ISP mode is worse than a late exit). With a second notice, the second request
// raises another flag, on which the work sends nothing more, says what it left undone and ends
// (a virtual device's state is still saved); the request after that, or the second without a
// notice, ends the process at once, as the signal would have without a handler. A signal that
// was ignored when the program started (nohup, a background job) stays ignored.

namespace qv {

class StopSignals {
  public:
    // Installs the handlers (one object at a time) and prints `notice` on stderr when the first
    // request arrives, and `secondNotice` when the second does.
    explicit StopSignals(const char* notice, const char* secondNotice = nullptr);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
};

// Whether a stop was requested since the handlers were installed.
bool StopRequested();
// The request's name ("SIGINT", "Ctrl-C"), or empty.
const char* StopRequestName();
// Whether a second stop request arrived: the work sends nothing more and ends.
bool EndRequested();

// A write to a pipe whose reader is gone fails with an error (EPIPE) instead of ending the
// program; no-op where there is no such signal.
void IgnoreBrokenPipe();

}  // namespace qv

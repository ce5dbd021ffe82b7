#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qv {
namespace {

// The request's number: a signal number on POSIX, a console event + 1 on Windows; 0 for none.
// Lock-free, so a signal handler may write it.
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free);
const char* noticeText = nullptr;

void WriteNotice() {
    if (noticeText == nullptr) return;
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), noticeText,
              static_cast<DWORD>(std::strlen(noticeText)), &written, nullptr);
#else
    // Only async-signal-safe calls here; a failed write changes nothing.
    [[maybe_unused]] const ssize_t written = write(2, noticeText, std::strlen(noticeText));
#endif
}

#ifdef _WIN32

std::atomic<bool> workDone{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    int expected = 0;
    if (!requested.compare_exchange_strong(expected, static_cast<int>(event) + 1))
        return FALSE;  // the second request: the default handler ends the process
    WriteNotice();
    // A closed console ends the process when this returns: give the work the few seconds
    // Windows allows to reach its safe point and close.
    if (event == CTRL_CLOSE_EVENT) {
        for (int waited = 0; waited < 4500 && !workDone; waited += 50) Sleep(50);
    }
    return TRUE;
}

#else

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kStopSignals)];

void OnStopSignal(int number) {
    int expected = 0;
    if (requested.compare_exchange_strong(expected, number)) {
        WriteNotice();
        return;
    }
    // The second request: end as the signal ends a program without a handler. The signal is
    // blocked while this runs, so it arrives once the handler returns.
    std::signal(number, SIG_DFL);
    std::raise(number);
}

#endif

}  // namespace

StopSignals::StopSignals(const char* notice) {
    requested = 0;
    noticeText = notice;
#ifdef _WIN32
    workDone = false;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls resume: a write to stdout or a read of the answer must not fail for it.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &action, &previous[i]);
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
    workDone = true;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &previous[i], nullptr);
#endif
    noticeText = nullptr;
}

bool StopRequested() {
    return requested != 0;
}

const char* StopRequestName() {
    switch (requested.load()) {
        case 0:
            return "";
#ifdef _WIN32
        case CTRL_C_EVENT + 1:
            return "Ctrl-C";
        case CTRL_BREAK_EVENT + 1:
            return "Ctrl-Break";
        case CTRL_CLOSE_EVENT + 1:
            return "console close";
#else
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
#endif
    }
    return "a stop request";
}

void IgnoreBrokenPipe() {
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace qv

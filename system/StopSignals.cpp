#include "system/StopSignals.h"

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
std::atomic<bool> endRequested{false};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
const char* noticeText = nullptr;
const char* secondNoticeText = nullptr;

void WriteNotice(const char* text) {
    if (text == nullptr) return;
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
#else
    // Only async-signal-safe calls here; a failed write changes nothing.
    [[maybe_unused]] const ssize_t written = write(2, text, std::strlen(text));
#endif
}

// After the first request: true when this one only asks the work to end (the second, with a
// second notice); false when the process is to end at once.
bool AsksWorkToEnd() {
    if (secondNoticeText == nullptr || endRequested.exchange(true)) return false;
    WriteNotice(secondNoticeText);
    return true;
}

#ifdef _WIN32

std::atomic<bool> workDone{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    int expected = 0;
    if (!requested.compare_exchange_strong(expected, static_cast<int>(event) + 1)) {
        // The last request: the default handler ends the process.
        if (!AsksWorkToEnd()) return FALSE;
    } else {
        WriteNotice(noticeText);
    }
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
bool installed[std::size(kStopSignals)];

void OnStopSignal(int number) {
    int expected = 0;
    if (requested.compare_exchange_strong(expected, number)) {
        WriteNotice(noticeText);
        return;
    }
    if (AsksWorkToEnd()) return;
    // The last request: end as the signal ends a program without a handler. The signal is
    // blocked while this runs, so it arrives once the handler returns.
    std::signal(number, SIG_DFL);
    std::raise(number);
}

#endif

}  // namespace

StopSignals::StopSignals(const char* notice, const char* secondNotice) {
    requested = 0;
    endRequested = false;
    noticeText = notice;
    secondNoticeText = secondNotice;
#ifdef _WIN32
    workDone = false;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls resume: a write to stdout or a read of the answer must not fail for it.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        // An ignored signal stays ignored: whoever started the program asked for that.
        installed[i] = sigaction(kStopSignals[i], nullptr, &previous[i]) == 0 &&
                       previous[i].sa_handler != SIG_IGN &&
                       sigaction(kStopSignals[i], &action, nullptr) == 0;
    }
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
    workDone = true;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        if (installed[i]) sigaction(kStopSignals[i], &previous[i], nullptr);
    }
#endif
    noticeText = nullptr;
    secondNoticeText = nullptr;
    // Requests belong to the handlers' time; the next object starts afresh.
    requested = 0;
    endRequested = false;
}

bool StopRequested() {
    return requested != 0;
}

bool EndRequested() {
    return endRequested;
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

// One program at a time on a device or a state file: the lock names its holder, waits no
// longer than asked and lets go when its holder does. Each "program" here is a thread with a
// lock of its own, which conflicts as another process would.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "system/ProcessLock.h"
#include "system/StopSignals.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv {
namespace {

using std::chrono::milliseconds;

// Tries the lock from another thread, as a second program would.
std::string TryFromElsewhere(const std::string& key, milliseconds wait) {
    return std::async(std::launch::async,
                      [&] {
                          const auto lock = ProcessLock::Acquire(key, "test", wait);
                          return lock.ok() ? std::string("taken") : lock.text();
                      })
        .get();
}

TEST(ProcessLock, ASecondHolderWaitsThenNamesTheFirstUntilItLetsGo) {
    auto lock = ProcessLock::Acquire("key", "test", milliseconds(0));
    ASSERT_TRUE(lock.ok()) << lock.text();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TryFromElsewhere("key", milliseconds(200)),
              "in use by process " + std::to_string(getpid()));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(200));
    EXPECT_EQ(TryFromElsewhere("another key", milliseconds(0)), "taken");

    // A holder that lets go while the other waits hands the lock over.
    auto waiting =
        std::async(std::launch::async, [] { return TryFromElsewhere("key", milliseconds(5000)); });
    std::this_thread::sleep_for(milliseconds(100));
    lock->reset();
    EXPECT_EQ(waiting.get(), "taken");
}

TEST(ProcessLock, NamesAreShortSafeAndDistinct) {
    const std::string longKey(4000, 'k');
    const std::string name = LockName(longKey, std::string(300, '/'));
    EXPECT_LE(name.size(), 100u);
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_NE(LockName("a", "x"), LockName("b", "x"));
}

#ifndef _WIN32
// What lies under a lock's name in the lock folder, and the folder itself: only a plain lock
// file is taken, and nothing else is changed, waited on or blocked on.
TEST(ProcessLock, OnlyAPlainLockFileInAUsableFolderIsTaken) {
    const std::string before = std::getenv("QV4820_LOCK_DIR");  // the tests' own folder
    const std::string folder = std::filesystem::temp_directory_path() / "locks";
    std::filesystem::create_directories(folder);
    const std::string key = "kinds", path = folder + "/" + LockName(key, "test") + ".lock";
    const std::string other = folder + "/other";
    const struct {
        const char* what;
        std::function<void()> make;
        std::string says;  // empty: taken
    } cases[] = {
        {"absent", [] {}, ""},
        {"a link", [&] { std::filesystem::create_symlink(other, path); },
         "no lock could be made at " + path + ": Too many levels of symbolic links"},
        {"a second name", [&] { std::filesystem::create_hard_link(other, path); },
         "is not a lock file of this tool"},
        {"a FIFO", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0666), 0); },
         "is not a lock file of this tool"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path);
        std::ofstream(other) << "someone's data";
        c.make();
        setenv("QV4820_LOCK_DIR", folder.c_str(), 1);
        const auto lock = ProcessLock::Acquire(key, "test", milliseconds(0));
        EXPECT_EQ(lock.ok(), c.says.empty()) << lock.text();
        EXPECT_NE(lock.text().find(c.says), std::string::npos) << lock.text();
        std::ifstream kept(other);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "someone's data");
    }
    std::filesystem::remove(path);
    const std::string missing = folder + "/missing";
    setenv("QV4820_LOCK_DIR", missing.c_str(), 1);
    EXPECT_EQ(ProcessLock::Acquire(key, "test", milliseconds(0)).text(),
              "the lock folder " + missing +
                  " (QV4820_LOCK_DIR) cannot be used: No such file or directory");
    setenv("QV4820_LOCK_DIR", before.c_str(), 1);
}

TEST(ProcessLock, AStopRequestEndsTheWait) {
    const auto held = ProcessLock::Acquire("stop", "test", milliseconds(0));
    ASSERT_TRUE(held.ok()) << held.text();
    std::signal(SIGINT, SIG_DFL);  // not as a background job's runner may have left it
    const StopSignals stop("");
    const auto start = std::chrono::steady_clock::now();
    std::thread signal([] {
        std::this_thread::sleep_for(milliseconds(100));
        kill(getpid(), SIGINT);
    });
    const std::string refused = TryFromElsewhere("stop", milliseconds(10000));
    signal.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(refused,
              "stopped by SIGINT while waiting: in use by process " + std::to_string(getpid()));
}
#endif

}  // namespace
}  // namespace qv

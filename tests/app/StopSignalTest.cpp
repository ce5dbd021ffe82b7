// qvupdate as a process of its own: SIGTERM (a session's end, kill) closes it as its close box
// does, so the virtual device kept in a state file is saved.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(WindowStop, SigtermSavesTheStateAsClosingDoes) {
    const fs::path folder = ::testing::TempDir();
    const fs::path state = folder / "window.qv";
    test::ChildProcess window({QV_QVUPDATE_PATH, "--simulate", "--sim-state", state.string()});
    // The state file's lock appears once the window's device is set up, after its handlers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto locked = [&] {
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().find("state-window.qv") != std::string::npos)
                return true;
        return false;
    };
    while (!locked() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(locked()) << window.Err();
    window.Signal(SIGTERM);
    window.Wait();
    ASSERT_TRUE(window.Exited()) << "ended by signal " << window.TermSignal();
    EXPECT_EQ(window.ExitStatus(), 0) << window.Err();
    EXPECT_TRUE(fs::exists(state));
}

}  // namespace
}  // namespace qv

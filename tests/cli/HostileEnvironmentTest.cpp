// qvtool started as production scripts and services start it: standard streams closed, FIFOs
// and devices where files are meant, signals ignored or sent twice, a protected flash asked for
// a range it does not have, locks shared with another user.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CliRun.h"
#include "TestFiles.h"
#include "sim/Qv4820Model.h"
#include "system/ProcessLock.h"
#include "tests/support/ChildProcess.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::ChildOptions;
using test::ChildProcess;
using Stream = ChildProcess::Stream;

std::vector<std::string> Qvtool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QV_QVTOOL_PATH);
    return arguments;
}

// Runs to its end within `limit`, or fails the test (a hang is what is tested against).
void Finish(ChildProcess& child, std::chrono::seconds limit = std::chrono::seconds(20)) {
    EXPECT_TRUE(child.WaitWithin(limit)) << "still running: " << child.Err();
}

std::string Text(const std::string& path) {
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

TEST(StandardStreams, AClosedStreamNeverBecomesAFileTheToolOpens) {
    test::TempDir dir;
    const std::string log = dir.File("run.log");
    const std::string state = dir.File("state.qv");
    struct Case {
        int closed;
        std::vector<std::string> arguments;
        int status;
        const char* says;
    };
    const std::vector<Case> cases{
        {1,
         {"--simulate", "--sim-virtual-time", "--io-log", log, "flash", "id"},
         4,
         "the output could not be written to standard output: it is closed (the command itself "
         "succeeded)"},
        {1,
         {"--simulate", "--sim-virtual-time", "--sim-state", state, "--json", "flash", "id"},
         4,
         "the JSON document could not be written to standard output: it is closed"},
        {0,
         {"--simulate", "--sim-virtual-time", "--io-log", log, "update", "--file",
          QV_DEMO_FIRMWARE_PATH},
         2,
         "Abort Firmware update process (nothing was sent)"},
        {2, {"--simulate", "--sim-virtual-time", "--io-log", log, "flash", "id"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("without descriptor " + std::to_string(c.closed) + ": " + c.says);
        fs::remove(log);
        ChildProcess qvtool(Qvtool(c.arguments), {.closed = {c.closed}});
        Finish(qvtool);
        EXPECT_EQ(qvtool.ExitStatus(), c.status) << qvtool.Err();
        EXPECT_TRUE(Has(qvtool.Err(), c.says)) << qvtool.Err();
        if (fs::exists(log)) {
            EXPECT_TRUE(Text(log).starts_with("# traffic log version 2\n"));
            EXPECT_FALSE(Has(Text(log), "Flash id")) << "progress lines went into the log";
        }
    }
    EXPECT_NE(KeptDevice(state), nullptr) << "the state file took the report";
}

TEST(FileKinds, OnlyRegularFilesAreTakenAndNothingBlocks) {
    test::TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string linkToFifo = dir.File("link");
    fs::create_symlink(fifo, linkToFifo);
    const std::string folder = dir.Path().string();
    const std::string longName = dir.File(std::string(257, 'n'));
    const std::vector<std::string> sim{"--simulate", "--sim-virtual-time"};
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"--replay", fifo, "flash", "id"}, fifo + " is a FIFO, not a regular file"},
        {{"--replay", linkToFifo, "flash", "id"}, linkToFifo + " is a FIFO, not a regular file"},
        {{"--replay", folder, "flash", "id"}, folder + " is a folder, not a regular file"},
        {{"--replay", "/dev/zero", "flash", "id"}, "/dev/zero is a device node"},
        {{"--replay", dir.File("absent.log"), "flash", "id"}, "absent.log: no such file"},
        {{"--simulate", "--sim-state", fifo, "flash", "id"}, fifo + " is a FIFO"},
        {{"--simulate", "--sim-state", longName, "flash", "id"}, "File name too long"},
        {{"--simulate", "flash", "read", longName}, "File name too long"},
        {{"image", QV_DEMO_FIRMWARE_PATH, "--out", linkToFifo}, linkToFifo + " is a FIFO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        ChildProcess qvtool(Qvtool(c.arguments));
        Finish(qvtool);
        EXPECT_EQ(qvtool.ExitStatus(), 4) << qvtool.Err();
        EXPECT_TRUE(Has(qvtool.Err(), c.says)) << qvtool.Err();
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// A device kept in a state file, updated and so protected, with a traffic log.
class SignalsAndChanges : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream out(image_, std::ios::binary);
        for (std::size_t i = 0; i < 16 * 1024; ++i) out.put(static_cast<char>(i * 7 + 1));
        out.close();
        ASSERT_EQ(RunCli({"--simulate", "--sim-state", state_, "update", "--yes", "--file",
                          QV_DEMO_FIRMWARE_PATH})
                      .status,
                  0);
    }
    std::vector<std::string> Slow(std::vector<std::string> command) const {
        std::vector<std::string> arguments{QV_QVTOOL_PATH, "--simulate",  "--sim-latency",
                                           "200",          "--sim-state", state_};
        arguments.insert(arguments.end(), command.begin(), command.end());
        return arguments;
    }
    bool Protected() const {
        const auto device = KeptDevice(state_);
        return device != nullptr && (device->Chip().Flash().Status() & 0x1C) == 0x1C;
    }

    test::TempDir dir_;
    const std::string state_ = dir_.File("device.qv");
    const std::string image_ = dir_.File("image.bin");
};

TEST_F(SignalsAndChanges, AnIgnoredSignalStaysIgnored) {
    struct Case {
        int ignored;
        int sent;
        int status;
    };
    for (const Case& c :
         {Case{SIGHUP, SIGHUP, 0}, Case{SIGINT, SIGINT, 0}, Case{SIGINT, SIGTERM, 5}}) {
        SCOPED_TRACE(std::to_string(c.ignored) + " ignored, " + std::to_string(c.sent) + " sent");
        ChildProcess qvtool(Slow({"update", "--yes", "--file", image_}), {.ignored = {c.ignored}});
        ASSERT_TRUE(qvtool.WaitFor(Stream::kOut, "Start Programming")) << qvtool.Err();
        qvtool.Signal(c.sent);
        Finish(qvtool, std::chrono::seconds(60));
        EXPECT_EQ(qvtool.ExitStatus(), c.status) << qvtool.Err();
    }
}

TEST_F(SignalsAndChanges, AStopEndsALongReadWithinASecond) {
    const std::string dump = dir_.File("dump.txt");
    ChildProcess qvtool(Slow({"flash", "read", dump, "--kib", "2040"}));
    ASSERT_TRUE(qvtool.WaitFor(Stream::kOut, "Read Flash data back")) << qvtool.Err();
    qvtool.Signal(SIGINT);
    const auto signalled = std::chrono::steady_clock::now();
    Finish(qvtool);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    EXPECT_EQ(qvtool.ExitStatus(), 5);
    EXPECT_TRUE(Has(qvtool.Err(), "stopped by SIGINT: the flash read stopped at 0x"));
    EXPECT_TRUE(Has(qvtool.Err(), "the flash was not changed and no dump was written"));
    EXPECT_FALSE(fs::exists(dump));
}

// Both signals during the chip erase, which no stop cuts short: the second ends the waiting.
TEST_F(SignalsAndChanges, ASecondStopSkipsTheClosingStepsSaysSoAndKeepsTheState) {
    ChildProcess qvtool(Slow({"update", "--yes", "--file", image_}));
    ASSERT_TRUE(qvtool.WaitFor(Stream::kOut, "Flash Erase All"));
    qvtool.Signal(SIGINT);
    ASSERT_TRUE(qvtool.WaitFor(Stream::kErr, "a second stop skips the closing steps"));
    qvtool.Signal(SIGTERM);
    Finish(qvtool);
    ASSERT_TRUE(qvtool.Exited());
    EXPECT_EQ(qvtool.ExitStatus(), 5) << qvtool.Err();
    EXPECT_TRUE(Has(qvtool.Err(), "second stop: nothing more is sent")) << qvtool.Err();
    for (const char* undone : {"warning: protect: not sent: a second stop request came",
                               "warning: leave ISP mode: not sent: a second stop request came"})
        EXPECT_TRUE(Has(qvtool.Err(), undone)) << qvtool.Err();
    EXPECT_NE(KeptDevice(state_), nullptr) << "the state was not saved";
}

TEST_F(SignalsAndChanges, NothingChangesBeforeTheRangeIsAccepted) {
    const struct {
        std::vector<std::string> command;
        const char* says;
    } cases[] = {
        {{"flash", "erase", "--unprotect", "--start", "2048", "--size", "4"},
         "Erase range does not fit in the 2048 KiB flash"},
        {{"flash", "program", "--unprotect", "--start", "2040", "--file", image_},
         "does not fit in the 2048 KiB flash"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"--simulate", "--sim-state", state_};
        arguments.insert(arguments.end(), c.command.begin(), c.command.end());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(Has(run.err, c.says)) << run.err;
        EXPECT_TRUE(Has(run.err, "was not started and the protection not cleared")) << run.err;
        EXPECT_TRUE(Protected());
    }
}

// Root and an ordinary user (nobody) on one state file, both ways round, in the lock folder
// every user shares. Skipped where the tests do not run as root or nobody cannot run qvtool.
TEST(LocksAcrossUsers, EachUserSeesTheOthersLock) {
    if (geteuid() != 0 || system("runuser -u nobody -- test -x " QV_QVTOOL_PATH) != 0)
        GTEST_SKIP() << "needs root and a qvtool that nobody can run";
    // A folder both may write; the locks go to the default folder, as for any two users.
    const std::string folder = "/tmp/qv-two-users-" + std::to_string(getpid());
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all);
    unsetenv("QV4820_LOCK_DIR");
    const std::string state = folder + "/bench.qv";
    const std::vector<std::string> asNobody{"/usr/sbin/runuser", "-u", "nobody", "--", "env", "-u",
                                            "QV4820_LOCK_DIR"};
    const auto user = [&](std::vector<std::string> command) {
        std::vector<std::string> arguments = asNobody;
        arguments.insert(arguments.end(), {QV_QVTOOL_PATH, "--simulate", "--sim-state", state});
        arguments.insert(arguments.end(), command.begin(), command.end());
        return arguments;
    };
    ChildProcess made(user({"--sim-virtual-time", "flash", "id"}));
    made.Wait();
    ASSERT_EQ(made.ExitStatus(), 0) << made.Err();
    // A lock folder this user may not write in is named as such.
    std::vector<std::string> readOnly{
        "/usr/sbin/runuser", "-u",         "nobody",      "--",  "env",   "QV4820_LOCK_DIR=/",
        QV_QVTOOL_PATH,      "--simulate", "--sim-state", state, "flash", "id"};
    ChildProcess refused(readOnly);
    refused.Wait();
    EXPECT_EQ(refused.ExitStatus(), 4);
    EXPECT_TRUE(Has(refused.Err(), "the lock folder / takes no new files: Permission denied"))
        << refused.Err();

    // The user holds it (at the update's question); root waits in vain.
    {
        ChildProcess update(
            user({"--sim-virtual-time", "update", "--file", QV_DEMO_FIRMWARE_PATH}));
        ASSERT_TRUE(update.WaitFor(Stream::kErr, "[y/N]")) << update.Err();
        const CliRun root = RunCli({"--simulate", "--sim-state", state, "flash", "id"});
        EXPECT_EQ(root.status, 3) << root.err;
        EXPECT_TRUE(Has(root.err, "is in use by process")) << root.err;
        update.WriteInput("n\n");
        update.Wait();
    }
    // Root holds it; the user waits in vain.
    const auto lock = ProcessLock::Acquire("state:" + fs::canonical(state).string(),
                                           "state-bench.qv", std::chrono::milliseconds(0));
    ASSERT_TRUE(lock.ok()) << lock.text();
    ChildProcess waits(user({"--sim-virtual-time", "flash", "id"}));
    waits.Wait();
    EXPECT_EQ(waits.ExitStatus(), 3) << waits.Err();
    EXPECT_TRUE(Has(waits.Err(), "is in use by process " + std::to_string(getpid())))
        << waits.Err();
    fs::remove_all(folder);
}

}  // namespace
}  // namespace qv

// qvtool as a process of its own, stopped from outside at several points of an update of a
// virtual device kept in a state file: the first signal ends the update at its next block with
// the closing steps (protect, leave ISP mode), the third ends the process at once, and a reader
// that goes away or a full stdout ends nothing half-way and is not reported as success.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"
#include "tests/support/ChildProcess.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using Stream = ChildProcess::Stream;

constexpr std::size_t kImageSize = 32 * 1024;

std::string TempPath(const std::string& name) {
    return (fs::path(::testing::TempDir()) / name).string();
}

// A device kept in a state file, its traffic log and an image with no erased bytes.
class StoppedUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream out(image_, std::ios::binary);
        for (std::size_t i = 0; i < kImageSize; ++i) out.put(static_cast<char>(i * 7 + 1));
    }
    void TearDown() override {
        for (const std::string& file : {state_, log_, image_}) fs::remove(file);
    }

    std::vector<std::string> Update(std::vector<std::string> extra = {"--yes"}) const {
        // Slow enough that each step lasts a second or more, so a signal falls inside it.
        std::vector<std::string> arguments{QV_QVTOOL_PATH, "--simulate", "--sim-latency", "1000",
                                           "--sim-state",  state_,       "--io-log",      log_,
                                           "update",       "--file",     image_};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    // The device as the state file keeps it.
    std::unique_ptr<sim::Simulation> Device() const { return KeptDevice(state_); }

    static std::string LastRequest(const std::string& log) {
        std::ifstream in(log);
        std::string line, last;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] != '#') last = line;
        }
        return last;
    }

    const std::string state_ = TempPath("stopped.qv");
    const std::string log_ = TempPath("stopped.log");
    const std::string image_ = TempPath("stopped.bin");
};

TEST_F(StoppedUpdate, AStopEndsAtTheNextSafePointWithTheClosingSteps) {
    // The request that leaves ISP mode, as a whole update ends with it.
    const std::string whole = TempPath("whole.log");
    ASSERT_EQ(RunCli({"--simulate", "--io-log", whole, "update", "--yes", "--file", image_}).status,
              0);
    const std::string leaveIsp = LastRequest(whole);
    fs::remove(whole);

    struct Case {
        int signal;
        const char* after;  // the step line the signal follows
        int status;
        const char* says;
        bool firstProgrammed;  // the image's first block is in the flash
        bool lastProgrammed;   // and its last
    };
    const std::vector<Case> cases{
        {SIGINT, "Flash Erase All", 5,
         "the update was interrupted after the erase; the product needs a new update", false,
         false},
        {SIGTERM, "Start Programming", 5,
         "the update was interrupted during programming; the flash holds part of the image and "
         "the product needs a new update",
         true, false},
        {SIGHUP, "Start Verifying Check", 5,
         "the update was interrupted during the verify, after programming; the product needs a "
         "new update",
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        fs::remove(state_);
        fs::remove(log_);
        ChildProcess qvtool(Update());
        ASSERT_TRUE(qvtool.WaitFor(Stream::kOut, c.after)) << qvtool.Out();
        qvtool.Signal(c.signal);
        qvtool.Wait();
        ASSERT_TRUE(qvtool.Exited());
        EXPECT_EQ(qvtool.ExitStatus(), c.status) << qvtool.Err();
        EXPECT_TRUE(Has(qvtool.Out() + qvtool.Err(), c.says)) << qvtool.Out() << qvtool.Err();
        if (c.status == 5) {
            EXPECT_TRUE(Has(qvtool.Err(), "qvtool: stopping at the next safe point"));
            EXPECT_TRUE(Has(qvtool.Out(), "Stopped by user")) << qvtool.Out();
        }
        EXPECT_EQ(LastRequest(log_), leaveIsp);
        const auto device = Device();
        ASSERT_NE(device, nullptr);
        EXPECT_FALSE(device->Chip().IspModeOn());
        EXPECT_EQ(device->Chip().Flash().Status() & 0x1C, 0x1C) << "not protected";
        const std::vector<std::uint8_t>& flash = device->Chip().Flash().Contents();
        EXPECT_EQ(flash[0], c.firstProgrammed ? 1 : 0xFF);
        EXPECT_EQ(flash[kImageSize - 1],
                  c.lastProgrammed ? static_cast<std::uint8_t>((kImageSize - 1) * 7 + 1) : 0xFF);
    }
}

TEST_F(StoppedUpdate, TheJsonDocumentSaysWhereTheUpdateWasInterrupted) {
    ChildProcess qvtool(Update({"--yes", "--json"}));
    ASSERT_TRUE(qvtool.WaitFor(Stream::kErr, "Flash Erase All")) << qvtool.Err();
    qvtool.Signal(SIGTERM);
    qvtool.Wait();
    EXPECT_EQ(qvtool.ExitStatus(), 5) << qvtool.Err();
    const auto json = nlohmann::json::parse(qvtool.Out());
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["error"]["kind"], "interrupted");
    EXPECT_EQ(json["interrupted"]["signal"], "SIGTERM");
    EXPECT_EQ(json["interrupted"]["state"],
              "the update was interrupted after the erase; the product needs a new update");
}

TEST_F(StoppedUpdate, AThirdSignalEndsAtOnce) {
    ChildProcess qvtool(Update());
    ASSERT_TRUE(qvtool.WaitFor(Stream::kOut, "Flash Erase All"));
    qvtool.Signal(SIGINT);
    ASSERT_TRUE(qvtool.WaitFor(Stream::kErr, "a second stop skips the closing steps"));
    qvtool.Signal(SIGINT);
    ASSERT_TRUE(qvtool.WaitFor(Stream::kErr, "a third stop ends at once"));
    qvtool.Signal(SIGINT);
    qvtool.Wait();
    EXPECT_FALSE(qvtool.Exited());
    EXPECT_EQ(qvtool.TermSignal(), SIGINT);
    EXPECT_FALSE(fs::exists(state_)) << "a process ended at once saves nothing";
}

TEST_F(StoppedUpdate, AStopAtTheQuestionSendsNothing) {
    ChildProcess qvtool(Update({}));
    ASSERT_TRUE(qvtool.WaitFor(Stream::kErr, "[y/N]"));
    qvtool.Signal(SIGINT);
    ASSERT_TRUE(qvtool.WaitFor(Stream::kErr, "a second stop skips the closing steps"));
    qvtool.WriteInput("y\n");
    qvtool.Wait();
    EXPECT_EQ(qvtool.ExitStatus(), 5);
    EXPECT_TRUE(Has(qvtool.Err(), "stopped by SIGINT: nothing was sent to the device"))
        << qvtool.Err();
    const auto device = Device();
    ASSERT_NE(device, nullptr);
    const std::vector<std::uint8_t>& flash = device->Chip().Flash().Contents();
    EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

// `qvtool update | head -1`: the update goes on to its end; the lost report is not a success.
TEST_F(StoppedUpdate, AReaderThatGoesAwayEndsNothingHalfWay) {
    ChildProcess qvtool(Update());
    ASSERT_TRUE(qvtool.WaitFor(Stream::kOut, "\n"));
    qvtool.CloseOutput();
    qvtool.Wait();
    ASSERT_TRUE(qvtool.Exited()) << "ended by signal " << qvtool.TermSignal();
    EXPECT_EQ(qvtool.ExitStatus(), 4);
    EXPECT_TRUE(Has(qvtool.Err(),
                    "could not be written to standard output: Broken pipe (the "
                    "command itself succeeded)"))
        << qvtool.Err();
    const auto device = Device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Chip().Flash().Contents()[kImageSize - 1],
              static_cast<std::uint8_t>((kImageSize - 1) * 7 + 1));
    EXPECT_FALSE(device->Chip().IspModeOn());
}

TEST(FullOutputs, AReportThatCannotBeWrittenFailsTheCommand) {
    struct Case {
        std::vector<std::string> arguments;
        test::ChildOptions options;
        const char* reason;
    };
    const std::string dump = TempPath("full-dump.txt");
    const std::string log = TempPath("full.log");
    const std::string logFailed =
        "the traffic log '" + log + "' could not be written: File too large";
    const std::vector<Case> cases{
        // A full disk before the first line refuses the log before any traffic; one later on
        // lets the command finish and then fails it.
        {{"--io-log", log, "flash", "id"}, {.fileSize = 0}, logFailed.c_str()},
        {{"--io-log", log, "flash", "id"}, {.fileSize = 700}, logFailed.c_str()},
        {{"--json", "flash", "id"},
         {.stdoutFile = "/dev/full"},
         "the JSON document could not be written to standard output: No space left on device"},
        {{"flash", "id"},
         {.stdoutFile = "/dev/full"},
         "the output could not be written to standard output: No space left on device"},
        {{"flash", "read", dump, "--kib", "64"}, {.fileSize = 4096}, "File too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<std::string> arguments{QV_QVTOOL_PATH, "--simulate", "--sim-virtual-time"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        fs::remove(log);
        ChildProcess qvtool(arguments, c.options);
        qvtool.Wait();
        EXPECT_EQ(qvtool.ExitStatus(), 4);
        EXPECT_TRUE(Has(qvtool.Err(), c.reason)) << qvtool.Err();
    }
    EXPECT_FALSE(fs::exists(dump));
    for (const auto& entry : fs::directory_iterator(::testing::TempDir()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace qv

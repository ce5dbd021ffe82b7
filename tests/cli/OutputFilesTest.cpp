// Files qvtool writes: links followed, special files refused, an existing file intact until the
// new content is complete, and every check made before the device is touched.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "CliRun.h"
#include "TestFiles.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
    const auto bytes = test::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(QvtoolFiles, ALinkIsFollowedAndStaysALink) {
    test::TempDir dir;
    const auto target = dir.Write("target.bin", std::string("old"));
    const auto link = dir.File("link.bin");
    fs::create_symlink("target.bin", link);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"image", QV_DEMO_FIRMWARE_PATH, "--out", link},
          std::vector<std::string>{"--simulate", "flash", "read", link, "--kib", "1"}}) {
        const CliRun run = RunCli(command);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_NE(ReadText(target), "old");
    }
    EXPECT_TRUE(Has(ReadText(target), "0xFF, 0xFF,"));
}

TEST(QvtoolFiles, SpecialFilesAndMissingFoldersAreRefusedBeforeAnyTraffic) {
    test::TempDir dir;
    const auto fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto log = dir.File("traffic.log");
    struct Case {
        std::string path;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"/dev/null", "/dev/null is a device node"},
        {fifo, "is a FIFO"},
        {dir.Path().string(), "is a folder"},
        {dir.File("absent/dump.txt"), "the folder " + dir.File("absent") + " does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const CliRun read =
            RunCli({"--simulate", "--sim-log", log, "flash", "read", c.path, "--kib", "1"});
        EXPECT_EQ(read.status, 4);
        EXPECT_TRUE(Has(read.err, c.reason)) << read.err;
        const CliRun image = RunCli({"image", QV_DEMO_FIRMWARE_PATH, "--out", c.path});
        EXPECT_EQ(image.status, 4);
        EXPECT_TRUE(Has(image.err, c.reason)) << image.err;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(!fs::exists(log) || fs::file_size(log) == 0);

    // Numbers too: a bad --kib sends nothing.
    for (const char* kib : {"0", "4096"}) {
        const CliRun run = RunCli(
            {"--simulate", "--sim-log", log, "flash", "read", dir.File("d.txt"), "--kib", kib});
        EXPECT_EQ(run.status, 2) << kib;
    }
    EXPECT_TRUE(!fs::exists(log) || fs::file_size(log) == 0);
}

TEST(QvtoolFiles, AnExistingFileIsIntactAfterAFailedRun) {
    test::TempDir dir;
    const auto dump = dir.Write("dump.txt", std::string("keep me"));
    // The device goes away during the read: the earlier dump stays as it was.
    const CliRun read =
        RunCli({"--simulate", "--sim-fault=unplug-after:30", "flash", "read", dump, "--kib", "16"});
    EXPECT_EQ(read.status, 1) << read.err;
    EXPECT_EQ(ReadText(dump), "keep me");

    const auto bad = dir.Write("bad.hex", std::string(":0100000001FF\n:00000001FE\n"));
    const auto bin = dir.Write("out.bin", std::string("keep me too"));
    EXPECT_EQ(RunCli({"image", bad, "--out", bin}).status, 4);
    EXPECT_EQ(ReadText(bin), "keep me too");
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    }
}

// Every file a run names, checked together before any traffic: nothing is written into a
// file the run reads or writes under another name, and an empty name is not "no file".
TEST(QvtoolFiles, FilesThatCollideOrAreNotFilesAreRefusedBeforeAnyTraffic) {
    test::TempDir dir;
    const auto firmware = dir.Write("fw.hex", test::ReadBytes(QV_DEMO_FIRMWARE_PATH));
    const auto state = dir.File("bench.qv");
    ASSERT_EQ(RunCli({"--simulate", "--sim-state", state, "flash", "id"}).status, 0);
    const auto replay = dir.File("replay.log");
    ASSERT_EQ(RunCli({"--simulate", "--io-log", replay, "flash", "id"}).status, 0);
    const auto stateLink = dir.File("state-link.qv");
    fs::create_symlink("bench.qv", stateLink);
    const auto fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto dump = dir.File("dump.txt");
    const auto sim = std::vector<std::string>{"--simulate", "--sim-state", state};

    struct Case {
        std::vector<std::string> arguments;
        std::string refusal;
    };
    const std::vector<Case> cases{
        {{"--simulate", "--io-log", firmware, "update", "--yes", "--file", firmware},
         "--io-log and --file name the same file"},
        {{"--simulate", "--sim-state", state, "flash", "read", state},
         "--sim-state and flash read FILE name the same file"},
        {{"--simulate", "--sim-state", state, "flash", "read", stateLink},
         "--sim-state and flash read FILE name the same file"},
        {{"--simulate", "--sim-state", state, "--io-log", stateLink, "flash", "id"},
         "--io-log and --sim-state name the same file"},
        {{"--replay", replay, "--io-log", replay, "flash", "id"},
         "--io-log and --replay name the same file"},
        {{"--simulate", "--sim-state", firmware, "flash", "verify", "--file", firmware},
         "--sim-state and --file name the same file"},
        {{"image", firmware, "--out", firmware}, "image FILE and --out name the same file"},
        {{"--simulate", "--io-log", dump, "flash", "read", dump},
         "--io-log and flash read FILE name the same file"},
        {{"--simulate", "--io-log", "", "flash", "id"}, "--io-log names no file"},
        {{"--simulate", "--sim-state", "", "flash", "id"}, "--sim-state names no file"},
        {{"--replay", "", "flash", "id"}, "--replay names no file"},
        {{"--simulate", "update", "--yes", "--file", ""}, "--file names no file"},
        {{"--simulate", "flash", "program", "--file", ""}, "--file names no file"},
        {{"image", firmware, "--out", ""}, "--out names no file"},
        {{"--simulate", "--io-log", fifo, "flash", "id"}, "--io-log: " + fifo + " is a FIFO"},
        {{"--simulate", "--io-log", "/dev/null", "flash", "id"}, "/dev/null is a device node"},
        {{"--simulate", "--sim-state", dir.Path().string(), "flash", "id"}, "is a folder"},
    };
    const auto before = std::make_pair(test::ReadBytes(firmware), test::ReadBytes(state));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        const CliRun run = RunCli(c.arguments);
        EXPECT_EQ(run.status, 4);
        EXPECT_TRUE(Has(run.err, c.refusal)) << run.err;
        EXPECT_TRUE(Has(run.err, "Nothing was sent.")) << run.err;
    }
    EXPECT_EQ(std::make_pair(test::ReadBytes(firmware), test::ReadBytes(state)), before);
    EXPECT_FALSE(fs::exists(dump));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(QvtoolFiles, AStateFileThroughALinkKeepsTheLinkAndTheModeOfItsTarget) {
    test::TempDir dir;
    const auto target = dir.File("bench.qv");
    const auto link = dir.File("link.qv");
    ASSERT_EQ(RunCli({"--simulate", "--sim-state", target, "flash", "id"}).status, 0);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("bench.qv", link);
    const CliRun run =
        RunCli({"--simulate", "--sim-state", link, "param", "string", "1", "Linked"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // The change reached the target: the parameters in its EEPROM bytes hold the new string.
    const std::vector<std::uint8_t> kept = test::ReadBytes(target);
    EXPECT_TRUE(Has(std::string(kept.begin(), kept.end()), "Linked"));
}

TEST(QvtoolFiles, TemporaryNamesNeverBlockAndLongNamesAreTaken) {
    test::TempDir dir;
    const std::string longName = std::string(246, 'd') + ".txt";  // 250 characters
    for (const std::string& name : {std::string("dump.txt"), longName}) {
        SCOPED_TRACE(name.size());
        const auto dump = dir.File(name);
        // What killed runs of every naming scheme may leave behind.
        for (const char* leftover : {".part0", ".part1", ".tmp1"})
            dir.Write(name.substr(0, 240) + leftover, "x");
        const CliRun run = RunCli({"--simulate", "flash", "read", dump, "--kib", "1"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(Has(ReadText(dump), "0xFF, 0xFF,"));
        const CliRun image = RunCli({"image", QV_DEMO_FIRMWARE_PATH, "--out", dump});
        EXPECT_EQ(image.status, 0) << image.err;
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 2u + 2u * 3u) << "no temporary file stays";
}

}  // namespace
}  // namespace qv

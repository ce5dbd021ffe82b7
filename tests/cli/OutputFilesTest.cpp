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

}  // namespace
}  // namespace qv

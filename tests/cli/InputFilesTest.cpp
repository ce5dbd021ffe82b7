// The firmware file qvtool reads: only a whole regular file of bounded size, refused before any
// device traffic, and never waited on.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "CliRun.h"
#include "TestFiles.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(QvtoolInputFiles, OnlyAWholeRegularFileOfBoundedSizeIsRead) {
    test::TempDir dir;
    const auto fifo = dir.File("fifo.hex");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto large = dir.Write("large.hex", std::string());
    fs::resize_file(large, (32u << 20) + 1);  // sparse: nothing is written, nothing need be read
    const auto demo = test::ReadBytes(QV_DEMO_FIRMWARE_PATH);
    const std::string text(demo.begin(), demo.end());
    std::size_t end = 0;  // after the first 100 lines: a copy cut short
    for (int line = 0; line < 100; ++line) end = text.find('\n', end) + 1;
    const auto cut = dir.Write("cut.hex", text.substr(0, end));
    const auto log = dir.File("traffic.log");
    struct Case {
        std::string path;
        std::string reason;
    };
    const std::vector<Case> cases{
        {fifo, fifo + ": is a FIFO, not a regular file"},
        {"/dev/zero", "/dev/zero: is a device node, not a regular file"},
        {dir.Path().string(), ": is a folder, not a regular file"},
        {large, large + ": is larger than 32 MiB"},
        {cut, "cut.hex line 100: ends without its end record: incomplete copy?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const CliRun update =
            RunCli({"--simulate", "--io-log", log, "update", "--yes", "--file", c.path});
        EXPECT_EQ(update.status, 4);
        EXPECT_TRUE(Has(update.err, c.reason)) << update.err;
        const CliRun image = RunCli({"image", c.path});
        EXPECT_EQ(image.status, 4);
        EXPECT_TRUE(Has(image.err, c.reason)) << image.err;
    }
    EXPECT_TRUE(!fs::exists(log) || fs::file_size(log) == 0);
}

}  // namespace
}  // namespace qv

// A recorded update is a regression test: the tool must still send exactly the recorded traffic.
// update-k2dac.log was recorded from the virtual device with
//   qvtool --simulate --io-log update-k2dac.log update --file update-image.bin --yes

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/cli/CliRun.h"

namespace qv {
namespace {

const std::string kLog = QV_REPLAY_DIR "/update-k2dac.log";
const std::string kImage = QV_REPLAY_DIR "/update-image.bin";

TEST(RecordedUpdate, ReplaysUnchanged) {
    const CliRun run = RunCli({"--replay", kLog, "update", "--file", kImage, "--yes"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Firmware update success!"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}

// One changed image byte changes one programming request: the replay fails there, naming the
// line of the block that carries the byte and the byte's place in the request block.
TEST(RecordedUpdate, OneChangedImageByteFailsAtItsProgrammingLine) {
    const struct {
        std::size_t offset;
        const char* difference;
    } cases[] = {
        {0, "line 1454 of update-k2dac.log: block byte 40 is ff, recorded 00"},
        {300, "line 1461 of update-k2dac.log: block byte 84 is ca, recorded 35"},
        {599, "line 1468 of update-k2dac.log: block byte 127 is 9c, recorded 63"},
    };
    std::ifstream in(kImage, std::ios::binary);
    const std::vector<char> image((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(image.size(), 600u);
    const auto changed = std::filesystem::temp_directory_path() /
                         ("qv_replay_changed_" + std::to_string(::getpid()) + ".bin");
    for (const auto& c : cases) {
        std::vector<char> bytes = image;
        bytes[c.offset] = static_cast<char>(bytes[c.offset] ^ 0xFF);
        std::ofstream(changed, std::ios::binary).write(bytes.data(), bytes.size());
        const CliRun run =
            RunCli({"--replay", kLog, "update", "--file", changed.string(), "--yes"});
        EXPECT_EQ(run.status, 1) << c.offset;
        EXPECT_EQ(run.out.find("success"), std::string::npos) << run.out;
        EXPECT_NE(
            run.err.find(std::string("qvtool: replay: the request differs from ") + c.difference),
            std::string::npos)
            << run.err;
    }
    std::filesystem::remove(changed);
}

}  // namespace
}  // namespace qv

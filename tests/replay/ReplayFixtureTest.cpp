// A recorded update is a regression test: the tool must still send exactly the recorded traffic,
// and a recorded failure must end the same way. update-k2dac.log (a log without a version line)
// was recorded from the virtual device with
//   qvtool --simulate --io-log update-k2dac.log update --file update-image.bin --yes
// and each failed update of kFailedUpdates with
//   qvtool --simulate --sim-virtual-time --sim-fault=FAULT --io-log LOG update --file
//   update-image.bin --yes
// except update-no-permission.log: qvtool on the libusb platform, run as an unprivileged user
// under umockdev-wrapper, against an emulated product whose device file that user may not open
// (as tests/umockdev does with DenyAccess).

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

struct FailedUpdate {
    const char* log;
    const char* fault;  // what the virtual device was told to do; null: not recorded from it
    int status;
    const char* lastStep;  // as the window shows it; null when no step began
    const char* reasonStep;
    const char* reasonKind;
    const char* message;
};

const FailedUpdate kFailedUpdates[] = {
    {"update-unplugged-mid-program.log", "unplug-after:1215", 1, "Programming Fail at 0x000100",
     "program", "gone",
     "the update failed: Programming Fail at 0x000100 (program: device unplugged)"},
    {"update-isp-refused.log", "refuse-isp", 1, "Enter ISP Mode Fail", "enter ISP mode", "stalled",
     "the update failed: Enter ISP Mode Fail (enter ISP mode: request stalled)"},
    // Five timed-out transfers in a row stop the link, replayed as live.
    {"update-device-silent.log", "silent-after:200", 1, "Erase Flash Fail", "erase", "timed-out",
     "the update failed: Erase Flash Fail (erase: the device stopped answering (5 transfers in a "
     "row "
     "failed; the last: transfer timed out))"},
    // The open fails before any step.
    {"update-no-permission.log", nullptr, 3, nullptr, nullptr, nullptr,
     "Tesmora K2 DAC: no permission to open /dev/bus/usb/001/002; install the udev rule (see "
     "README)"},
};

// The JSON document without what only says which kind of bus it ran on.
nlohmann::ordered_json WithoutBusKind(nlohmann::ordered_json document) {
    document["device"].erase("virtual");
    return document;
}

TEST(RecordedFailure, EndsAsTheLiveRunDid) {
    for (const FailedUpdate& c : kFailedUpdates) {
        SCOPED_TRACE(c.log);
        const std::vector<std::string> update = {"--json", "update", "--file", kImage, "--yes"};
        std::vector<std::string> replay = {"--replay", std::string(QV_REPLAY_DIR "/") + c.log};
        replay.insert(replay.end(), update.begin(), update.end());
        const CliRun run = RunCli(replay);
        EXPECT_EQ(run.status, c.status) << run.out;
        const auto document = run.Json();
        EXPECT_FALSE(document.contains("replay")) << run.out;  // it followed the recording
        EXPECT_EQ(document["error"]["message"], c.message);
        if (c.lastStep != nullptr) {
            EXPECT_EQ(document["steps"].back(), c.lastStep);
            EXPECT_EQ(document["reason"]["step"], c.reasonStep);
            EXPECT_EQ(document["reason"]["kind"], c.reasonKind);
        } else {
            EXPECT_FALSE(document.contains("steps") || document.contains("reason")) << run.out;
        }
        if (c.fault == nullptr) continue;
        std::vector<std::string> live = {"--simulate", std::string("--sim-fault=") + c.fault};
        live.insert(live.end(), update.begin(), update.end());
        const CliRun liveRun = RunCli(live);
        EXPECT_EQ(liveRun.status, run.status);
        EXPECT_EQ(WithoutBusKind(liveRun.Json()), WithoutBusKind(document));
    }
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/RecordingDeviceApi.h"
#include "platform/ReplayDeviceApi.h"
#include "sim/VirtualBus.h"
#include "usb/QuorvexUsb.h"

namespace qv {
namespace {

class AnsweringModel : public sim::DeviceModel {
  public:
    bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) override {
        if (setup.IsDeviceToHost() && setup.length) data[0] = 0xA5;
        return true;
    }
};

constexpr char kMissingPath[] = "\\\\?\\usb#vid_a7d6&pid_6000#9";

// An open that fails, then three requests through a link over `api`: a read, a failing read, a
// write.
void RunSession(DeviceApi& api, const std::function<void()>& beforeSecond) {
    FileHandle missing = kNoFileHandle;
    EXPECT_EQ(api.OpenPath(kMissingPath, missing).kind(), FailureKind::kNotFound);
    QuorvexUsb usb(api);
    usb.SetIdText("vid_a7d6&pid_6000");
    ASSERT_TRUE(usb.Find());
    ASSERT_TRUE(usb.Open());
    std::uint8_t byte = 0;
    usb.ControlTransfer({{.requestType = 0xC3, .request = 0x91, .length = 1}, &byte});
    beforeSecond();
    usb.ControlTransfer({{.requestType = 0xC3, .request = 0x91, .length = 1}, &byte});
    usb.ControlTransfer({{.requestType = 0x43, .request = 0x90, .index = 0}});
    usb.Close();
}

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Recording : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(file); }
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("qv_recording_" + std::to_string(::getpid()));
};

TEST_F(Recording, WritesOneLinePerCallWithItsOutcome) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    const sim::DeviceId device =
        bus.AttachBareChip("vid_a7d6&pid_6000", std::make_shared<AnsweringModel>());
    {
        auto recorder = RecordingDeviceApi::Create(bus, file.string());
        ASSERT_TRUE(recorder.ok()) << recorder.text();
        RunSession(**recorder, [&] { bus.SetTransferFaults(device, {.failTransfer = 1}); });
    }
    const std::string usb = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const std::string open = "open ok " + bus.PathOf(device);
    const std::string block = std::string(36, '0');
    EXPECT_EQ(Lines(file),
              (std::vector<std::string>{
                  "# traffic log version 2",
                  std::string("open not-found ") + kMissingPath + " no device at " + kMissingPath,
                  "list " + usb + " ok",
                  "member " + usb + " 0 ok",
                  "path " + usb + " 0 ok " + bus.PathOf(device),
                  open,  // the presence test's own handle, while listing
                  "0022242e 0000000080060001010012" + std::string(26, '0') +
                      " 18 ok 12010002ff000040d6a70060000101020301",
                  "member " + usb + " 1 no-more-items no more devices",
                  open,
                  "0022242e 00000000c391" + block + " 1 ok a5",
                  "0022242e 00000000c391" + block + " 1 other a5 transfer fault",
                  "00222429 000000004390" + block + " 0 ok -",
              }));

    // The replay of that log, recorded again, gives the same lines: two buses, one record.
    auto replay = ReplayDeviceApi::Load(file.string());
    ASSERT_TRUE(replay.ok()) << replay.text();
    const std::vector<std::string> first = Lines(file);
    std::filesystem::remove(file);
    {
        auto recorder = RecordingDeviceApi::Create(**replay, file.string());
        RunSession(**recorder, [] {});
    }
    EXPECT_EQ(Lines(file), first);
    EXPECT_TRUE((*replay)->Verdict().ok()) << (*replay)->Verdict().text();
}

// A log is one session format from its first line: a later run adds to a log of this version,
// never to a log without a version line or to another file.
TEST_F(Recording, AddsOnlyToALogOfItsOwnVersion) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    for (int run = 0; run < 2; ++run) {
        auto recorder = RecordingDeviceApi::Create(bus, file.string());
        ASSERT_TRUE(recorder.ok()) << recorder.text();
        FileHandle handle = kNoFileHandle;
        EXPECT_FALSE((*recorder)->OpenPath("A", handle).ok());
    }
    EXPECT_EQ(Lines(file), (std::vector<std::string>{"# traffic log version 2",
                                                     "open not-found A no device at A",
                                                     "open not-found A no device at A"}));
    for (const char* held : {"# open A\n0022242e 00 0 ok -\n", "notes\n", "# traffic log"}) {
        std::ofstream(file, std::ios::binary) << held;
        EXPECT_EQ(RecordingDeviceApi::Create(bus, file.string()).text(),
                  "the traffic log '" + file.string() +
                      "' holds something other than a log of this version (\"# traffic "
                      "log version 2\" first): record into a new file");
        std::ifstream in(file, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), held) << "left as it was";
    }
}

TEST_F(Recording, AFileThatCannotBeOpenedIsRefusedWithTheSystemsReason) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    // The path as the system spells it in full: "Z:\nonexistent\dir\log.txt" under Wine.
    const std::string path = std::filesystem::absolute("/nonexistent/dir/log.txt").string();
    EXPECT_EQ(
        RecordingDeviceApi::Create(bus, "/nonexistent/dir/log.txt").text(),
        "cannot record the traffic log: " + path + ": cannot be opened: No such file or directory");
}

}  // namespace
}  // namespace qv

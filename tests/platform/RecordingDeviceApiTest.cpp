#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

// Three requests through a link over `api`: a read, a failing read, a write.
void RunSession(DeviceApi& api, const std::function<void()>& beforeSecond) {
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

TEST_F(Recording, WritesOneLinePerIoControlAndAnOpenLinePerOpen) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    const sim::DeviceId device =
        bus.AttachBareChip("vid_a7d6&pid_6000", std::make_shared<AnsweringModel>());
    std::string error;
    {
        auto recorder = RecordingDeviceApi::Create(bus, file.string(), error);
        ASSERT_TRUE(recorder) << error;
        RunSession(*recorder, [&] { bus.SetTransferFaults(device, {.failTransfer = 1}); });
    }
    const std::string open = "# open " + bus.PathOf(device);
    const std::string block = std::string(36, '0');
    EXPECT_EQ(Lines(file), (std::vector<std::string>{
                               open,  // the presence test's own handle
                               "0022242e 0000000080060001010012" + std::string(26, '0') +
                                   " 18 ok 12010002ff000040d6a70060000101020301",
                               open,
                               "0022242e 00000000c391" + block + " 1 ok a5",
                               "0022242e 00000000c391" + block + " 1 fail a5",
                               "00222429 000000004390" + block + " 0 ok -",
                           }));

    // The replay of that log, recorded again, gives the same lines: two buses, one record.
    auto replay = ReplayDeviceApi::Load(file.string(), error);
    ASSERT_TRUE(replay) << error;
    const std::vector<std::string> first = Lines(file);
    std::filesystem::remove(file);
    {
        auto recorder = RecordingDeviceApi::Create(*replay, file.string(), error);
        RunSession(*recorder, [] {});
    }
    EXPECT_EQ(Lines(file), first);
    EXPECT_TRUE(replay->Verdict().ok()) << replay->Verdict().text();
}

TEST_F(Recording, AFileThatCannotBeOpenedIsRefusedWithTheSystemsReason) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    std::string error;
    EXPECT_FALSE(RecordingDeviceApi::Create(bus, "/nonexistent/dir/log.txt", error));
    EXPECT_EQ(error,
              "cannot open the traffic log '/nonexistent/dir/log.txt': No such file or directory");
}

}  // namespace
}  // namespace qv

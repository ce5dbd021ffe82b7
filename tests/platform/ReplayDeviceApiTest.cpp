#include <gtest/gtest.h>

#include "platform/ReplayDeviceApi.h"

namespace qv {
namespace {

constexpr char kPath[] = "\\\\?\\usb#vid_a7d6&pid_6000#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
// The USB device interface class, in Windows memory order.
const Guid kUsbDeviceClass{{0x10, 0xbf, 0xdc, 0xa5, 0x30, 0x65, 0xd2, 0x11, 0x90, 0x1f, 0x00, 0xc0,
                            0x4f, 0xb9, 0x51, 0xed}};
const Guid kOtherClass{{1}};

// A replay of a three-request log, with its device open.
struct ReplaySession {
    ReplaySession() {
        TrafficLog log;
        std::string error;
        EXPECT_TRUE(ParseTrafficLog(std::string("# open ") + kPath +
                                        "\n"
                                        "00222429 0102 0 ok -\n"
                                        "0022242e 0304 2 ok a5b6\n"
                                        "0022242e 05 1 fail 00\n",
                                    log, error))
            << error;
        replay = std::make_unique<ReplayDeviceApi>(std::move(log), "t.log");
        EXPECT_TRUE(replay->OpenPath(kPath, handle).ok());
    }

    DeviceResult Send(std::uint32_t code, std::vector<std::uint8_t> in, std::uint32_t outSize) {
        out.assign(outSize, 0xEE);
        return replay->IoControl(handle, code, in.data(), static_cast<std::uint32_t>(in.size()),
                                 out.data(), outSize);
    }

    std::unique_ptr<ReplayDeviceApi> replay;
    FileHandle handle = kNoFileHandle;
    std::vector<std::uint8_t> out;
};

class Replay : public ::testing::Test, public ReplaySession {};

TEST_F(Replay, PresentsTheRecordedDeviceInItsClassOnly) {
    DeviceSetHandle set = kNoDeviceSet;
    std::string path;
    ASSERT_TRUE(replay->OpenInterfaceSet(kUsbDeviceClass, set).ok());
    ASSERT_TRUE(replay->InterfaceDetailPath(set, 0, path).ok());
    EXPECT_EQ(path, kPath);
    EXPECT_EQ(replay->EnumerateInterface(set, 1).kind(), FailureKind::kNoMoreItems);
    ASSERT_TRUE(replay->OpenInterfaceSet(kOtherClass, set).ok());
    EXPECT_EQ(replay->EnumerateInterface(set, 0).kind(), FailureKind::kNoMoreItems);
    FileHandle other = kNoFileHandle;
    EXPECT_EQ(replay->OpenPath("elsewhere", other).kind(), FailureKind::kNotFound);
}

TEST_F(Replay, AnswersTheRecordedRequestsInOrder) {
    EXPECT_TRUE(Send(0x222429, {1, 2}, 0).ok());
    EXPECT_TRUE(Send(0x22242e, {3, 4}, 2).ok());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xa5, 0xb6}));
    const DeviceResult failed = Send(0x22242e, {5}, 1);
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.text(), "failed in the recording (line 4 of t.log)");
    EXPECT_EQ(out, std::vector<std::uint8_t>{0x00});
    EXPECT_TRUE(replay->Verdict().ok());

    const DeviceResult beyond = Send(0x222429, {1, 2}, 0);
    EXPECT_EQ(beyond.text(), "a request after the end of the recording t.log");
    EXPECT_EQ(replay->Verdict().text(), beyond.text());
}

TEST_F(Replay, TheFirstDifferingRequestFailsNamingItsLineAndSoDoesEveryLaterOne) {
    const struct {
        std::uint32_t code;
        std::vector<std::uint8_t> in;
        std::uint32_t outSize;
        const char* difference;
    } cases[] = {
        {0x222428, {3, 4}, 2, "code 00222428, recorded 0022242e"},
        {0x22242e, {3, 5}, 2, "block byte 1 is 05, recorded 04"},
        {0x22242e, {3, 4, 0}, 2, "block of 3 bytes, recorded 2"},
        {0x22242e, {3, 4}, 4, "output length 4, recorded 2"},
    };
    for (const auto& c : cases) {
        ReplaySession fresh;
        ASSERT_TRUE(fresh.Send(0x222429, {1, 2}, 0).ok());
        const std::string expected =
            std::string("the request differs from line 3 of t.log: ") + c.difference;
        const DeviceResult result = fresh.Send(c.code, c.in, c.outSize);
        EXPECT_EQ(result.kind(), FailureKind::kRefused);
        EXPECT_EQ(result.text(), expected);
        EXPECT_EQ(fresh.out, std::vector<std::uint8_t>(c.outSize, 0xEE)) << "output untouched";
        EXPECT_EQ(fresh.Send(0x22242e, {3, 4}, 2).text(), expected);
        EXPECT_EQ(fresh.replay->Verdict().text(), expected);
    }
}

TEST_F(Replay, StoppingEarlyIsAFailedVerdict) {
    EXPECT_TRUE(Send(0x222429, {1, 2}, 0).ok());
    EXPECT_EQ(replay->Verdict().text(),
              "the tool stopped before the end of the recording: 2 more requests from line 3 of "
              "t.log");
}

}  // namespace
}  // namespace qv

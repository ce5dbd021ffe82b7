#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

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
        Expected<TrafficLog> log = ParseTrafficLog(std::string("# open ") + kPath +
                                                   "\n"
                                                   "00222429 0102 0 ok -\n"
                                                   "0022242e 0304 2 ok a5b6\n"
                                                   "0022242e 05 1 fail 00\n");
        EXPECT_TRUE(log.ok()) << log.text();
        replay = std::make_unique<ReplayDeviceApi>(std::move(*log), "t.log");
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

// A log with a version line: listings, opens and every outcome as recorded.
constexpr char kClass[] = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

std::unique_ptr<ReplayDeviceApi> ReplayOf(const std::string& lines) {
    Expected<TrafficLog> log = ParseTrafficLog(std::string(kTrafficLogVersionLine) + "\n" + lines);
    EXPECT_TRUE(log.ok()) << log.text();
    return std::make_unique<ReplayDeviceApi>(std::move(*log), "t.log");
}

// The paths a listing of the USB device class shows, or its failure's text.
std::vector<std::string> Listed(DeviceApi& api) {
    DeviceSetHandle set = kNoDeviceSet;
    if (const DeviceResult built = api.OpenInterfaceSet(kUsbDeviceClass, set); !built.ok())
        return {built.text()};
    std::vector<std::string> paths;
    for (std::uint32_t i = 0;; ++i) {
        const DeviceResult exists = api.EnumerateInterface(set, i);
        if (!exists.ok()) {
            if (exists.kind() != FailureKind::kNoMoreItems) paths.push_back(exists.text());
            break;
        }
        std::string path;
        const DeviceResult detail = api.InterfaceDetailPath(set, i, path);
        paths.push_back(detail.ok() ? path : detail.text());
    }
    api.DestroyInterfaceSet(set);
    return paths;
}

TEST(ReplayOfAVersionedLog, OpensAreRequestsInTheirRecordedOrder) {
    const std::string path = kPath;
    const auto send = [](DeviceApi& api, FileHandle handle) {
        std::uint8_t in = 1;
        return api.IoControl(handle, 0x22242e, &in, 1, nullptr, 0);
    };
    const struct {
        std::string log;
        std::function<DeviceResult(DeviceApi&)> run;  // ends with the differing request
        std::string difference;
    } cases[] = {
        {"open ok " + path,
         [](DeviceApi& api) {
             FileHandle handle = kNoFileHandle;
             return api.OpenPath("elsewhere", handle);
         },
         "line 2 of t.log: an open of elsewhere, recorded an open of " + path},
        {"open ok " + path + "\nopen ok " + path,
         [&](DeviceApi& api) {
             FileHandle handle = kNoFileHandle;
             EXPECT_TRUE(api.OpenPath(path, handle).ok());
             return send(api, handle);
         },
         "line 3 of t.log: an I/O control, recorded an open of " + path},
        {"open ok " + path + "\n0022242e 01 0 ok -",
         [&](DeviceApi& api) {
             FileHandle handle = kNoFileHandle;
             EXPECT_TRUE(api.OpenPath(path, handle).ok());
             return api.OpenPath(path, handle);
         },
         "line 3 of t.log: an open of " + path + ", recorded an I/O control"},
    };
    for (const auto& c : cases) {
        const auto replay = ReplayOf(c.log + "\n");
        const DeviceResult result = c.run(*replay);
        EXPECT_EQ(result.kind(), FailureKind::kRefused);
        EXPECT_EQ(result.text(), "the request differs from " + c.difference);
        FileHandle handle = kNoFileHandle;
        EXPECT_EQ(replay->OpenPath(path, handle).text(), result.text()) << "and every later one";
    }
}

// Devices come and go as recorded: each listing between two requests is answered by the
// recorded one at the same place, the last again when the tool looks more often, and a listing
// where the recording made none by the last before it.
TEST(ReplayOfAVersionedLog, ListingsShowTheDevicesOfTheirPlaceInTheRecording) {
    const std::string c = kClass;
    const auto replay = ReplayOf("list " + c + " ok\nmember " + c + " 0 no-more-items\n" +  //
                                 "list " + c + " ok\nmember " + c + " 0 ok\npath " + c + " 0 ok " +
                                 kPath + "\nmember " + c + " 1 no-more-items\n" +  //
                                 "open ok " + kPath + "\n0022242e 01 0 gone -\n" + "list " + c +
                                 " refused the bus went away\n");
    const std::vector<std::string> none, present = {kPath};
    EXPECT_EQ(Listed(*replay), none);
    EXPECT_EQ(Listed(*replay), present);
    EXPECT_EQ(Listed(*replay), present);
    FileHandle handle = kNoFileHandle;
    ASSERT_TRUE(replay->OpenPath(kPath, handle).ok());
    EXPECT_EQ(Listed(*replay), present) << "none recorded here: the last before";
    std::uint8_t in = 1;
    EXPECT_EQ(replay->IoControl(handle, 0x22242e, &in, 1, nullptr, 0).kind(), FailureKind::kGone);
    EXPECT_EQ(Listed(*replay), std::vector<std::string>{"the bus went away"});
    EXPECT_TRUE(replay->Verdict().ok()) << replay->Verdict().text();
}

TEST(ReplayOfAVersionedLog, AQuestionTheRecordingNeverAskedIsADifference) {
    const std::string c = kClass;
    const std::string listing = "list " + c + " ok\nmember " + c + " 0 ok\n";
    const struct {
        const char* what;
        std::function<DeviceResult(DeviceApi&, DeviceSetHandle)> ask;
        std::string expected;
    } cases[] = {
        {"another class",
         [](DeviceApi& api, DeviceSetHandle) {
             DeviceSetHandle other = kNoDeviceSet;
             return api.OpenInterfaceSet(kOtherClass, other);
         },
         "the recording lists no device of class {00000001-0000-0000-0000-000000000000} before "
         "line 4 of t.log"},
        {"another member",
         [](DeviceApi& api, DeviceSetHandle set) { return api.EnumerateInterface(set, 1); },
         "the recording never asked for member 1 of the devices of class " + c},
        {"a path not read",
         [](DeviceApi& api, DeviceSetHandle set) {
             std::string path;
             return api.InterfaceDetailPath(set, 0, path);
         },
         "the recording never read the path of member 0 of the devices of class " + c},
    };
    for (const auto& q : cases) {
        const auto replay = ReplayOf(listing + "open ok " + kPath + "\n");
        DeviceSetHandle set = kNoDeviceSet;
        ASSERT_TRUE(replay->OpenInterfaceSet(kUsbDeviceClass, set).ok());
        const DeviceResult asked = q.ask(*replay, set);
        EXPECT_EQ(asked.kind(), FailureKind::kRefused) << q.what;
        EXPECT_EQ(asked.text(), q.expected) << q.what;
        EXPECT_EQ(replay->Verdict().text(), q.expected) << q.what;
    }
}

// A file that is no log is refused at its first line too long for one; a device file such as
// /dev/zero, which never ends, is no regular file and is refused before it is read.
TEST(ReplayLoad, RefusesALineTooLongForALogNamingFileAndLine) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("qv_replay_long_" + std::to_string(::getpid()) + ".log");
    std::ofstream(file, std::ios::binary) << "# open A\n"
                                          << std::string(kMaxTrafficLineLength + 1, 'a') << "\n";
    // Larger than a log may be: refused by its size, not read (a sparse file costs no disk).
    const auto large = std::filesystem::path(file).replace_extension(".large");
    std::ofstream(large).close();
    std::filesystem::resize_file(large, kMaxTrafficLogBytes + 1);
    const struct {
        std::string file;
        std::string error;
    } cases[] = {
        {file.string(), file.string() + ", line 2: longer than 5 MiB; not a traffic log"},
        {"/dev/zero",
         "cannot replay the traffic log: /dev/zero is a device node, not a regular file"},
        {large.string(), "cannot replay the traffic log: " + large.string() +
                             " is larger than 256 MiB, the most it may hold"},
    };
    for (const auto& c : cases) {
        if (!std::filesystem::exists(c.file)) continue;  // no /dev/zero on Windows
        EXPECT_EQ(ReplayDeviceApi::Load(c.file).text(), c.error);
    }
    std::filesystem::remove(file);
    std::filesystem::remove(large);
}

}  // namespace
}  // namespace qv

// platform/win32 against the real calls (run under Wine in CI): no device is
// present, so the enumeration is empty, opens fail with the system's reason,
// and sleeps keep their length. A request that a driver never completes is
// played by a named pipe waiting for a client that never comes.

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <chrono>
#include <cstring>

#include "platform/SystemDeviceApi.h"
#include "platform/carriers/RequestBlocks.h"
#include "platform/win32/Win32Failure.h"

namespace qv {
namespace {

TEST(Win32DeviceApi, EnumerationOfBothClassesIsEmpty) {
    auto api = CreateSystemDeviceApi();
    for (const Guid& interfaceClass : {kProductInterfaceClass, kUsbDeviceInterfaceClass}) {
        DeviceSetHandle set = kNoDeviceSet;
        ASSERT_TRUE(api->OpenInterfaceSet(interfaceClass, set).ok());
        const DeviceResult first = api->EnumerateInterface(set, 0);
        EXPECT_EQ(first.kind(), FailureKind::kNoMoreItems) << first.text();
        std::string path;
        EXPECT_FALSE(api->InterfaceDetailPath(set, 0, path).ok());
        api->DestroyInterfaceSet(set);
    }
}

// An interface class counts as registered once a driver registered one device of it, plugged in
// or not; a class nobody registered (the product's, on a computer without its driver) does not.
TEST(Win32DeviceApi, AnInterfaceClassIsRegisteredOnceADeviceOfItWas) {
    constexpr Guid kTestClass{{0x3c, 0x1f, 0x6e, 0x52, 0x8a, 0x01, 0x4d, 0x4b, 0x9e, 0x2d, 0x51,
                               0x7a, 0x40, 0x93, 0xc6, 0x0e}};
    auto api = CreateSystemDeviceApi();
    ASSERT_FALSE(api->InterfaceClassRegistered(kProductInterfaceClass));
    ASSERT_FALSE(api->InterfaceClassRegistered(kTestClass));

    // What a driver's installation leaves: a device, and an interface of the class on it.
    GUID native;
    std::memcpy(&native, kTestClass.bytes.data(), sizeof native);
    HDEVINFO set = SetupDiCreateDeviceInfoList(&native, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << GetLastError();
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "QVTEST", &native, nullptr, nullptr, DICD_GENERATE_ID,
                                         &device))
        << GetLastError();
    ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr))
        << GetLastError();
    SP_DEVICE_INTERFACE_DATA created{};
    created.cbSize = sizeof created;
    ASSERT_TRUE(SetupDiCreateDeviceInterfaceA(set, &device, &native, nullptr, 0, &created))
        << GetLastError();
    EXPECT_TRUE(api->InterfaceClassRegistered(kTestClass));
    // Not plugged in, so not among the devices present.
    DeviceSetHandle present = kNoDeviceSet;
    ASSERT_TRUE(api->OpenInterfaceSet(kTestClass, present).ok());
    EXPECT_EQ(api->EnumerateInterface(present, 0).kind(), FailureKind::kNoMoreItems);
    api->DestroyInterfaceSet(present);

    SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
}

TEST(Win32DeviceApi, FailedOpenSaysWhy) {
    const struct {
        const char* path;
        FailureKind kind;
    } cases[] = {
        {R"(\\?\usb#vid_a7d6&pid_f017#1-1#{5089f4a4-9206-4a91-87a4-0a7e5e6ec8aa})",
         FailureKind::kNotFound},
        {R"(Z:\no such folder\device)", FailureKind::kNotFound},
        {R"(C:\windows)", FailureKind::kPermission},  // a folder is not a device
    };
    auto api = CreateSystemDeviceApi();
    for (const auto& c : cases) {
        FileHandle handle = kNoFileHandle;
        const DeviceResult result = api->OpenPath(c.path, handle);
        EXPECT_EQ(result.kind(), c.kind) << c.path << ": " << result.text();
        EXPECT_FALSE(result.text().empty()) << c.path;
        EXPECT_NE(result.text().back(), '\n') << c.path;
        EXPECT_EQ(handle, kNoFileHandle) << c.path;
    }
}

// One code means different things when a device is opened and when a request on an open
// handle fails: each call has its own table.
TEST(Win32Failure, EachErrorHasItsKindInTheCallItFailed) {
    constexpr auto kList = Win32Call::kList;
    constexpr auto kOpen = Win32Call::kOpen;
    constexpr auto kRequest = Win32Call::kRequest;
    const struct {
        DWORD error;
        Win32Call call;
        FailureKind kind;
    } cases[] = {
        {ERROR_NO_MORE_ITEMS, kList, FailureKind::kNoMoreItems},
        {ERROR_ACCESS_DENIED, kList, FailureKind::kPermission},
        {ERROR_ACCESS_DENIED, kOpen, FailureKind::kPermission},
        {ERROR_FILE_NOT_FOUND, kOpen, FailureKind::kNotFound},
        {ERROR_NOT_FOUND, kOpen, FailureKind::kNotFound},
        {ERROR_DEVICE_NOT_CONNECTED, kOpen, FailureKind::kGone},
        {ERROR_SHARING_VIOLATION, kOpen, FailureKind::kBusy},
        {ERROR_GEN_FAILURE, kOpen, FailureKind::kOther},  // a device that does not function
        // A stalled request is "stalled", as on Linux, not a device that went away.
        {ERROR_GEN_FAILURE, kRequest, FailureKind::kStalled},
        {ERROR_IO_DEVICE, kRequest, FailureKind::kOther},
        {ERROR_CRC, kRequest, FailureKind::kOther},
        {ERROR_OPERATION_ABORTED, kRequest, FailureKind::kOther},
        // A driver without the property refuses it.
        {ERROR_NOT_FOUND, kRequest, FailureKind::kRefused},
        {ERROR_SET_NOT_FOUND, kRequest, FailureKind::kRefused},
        {ERROR_INVALID_FUNCTION, kRequest, FailureKind::kRefused},
        {433, kRequest, FailureKind::kGone},  // ERROR_NO_SUCH_DEVICE, which MinGW-w64 does not name
        {ERROR_DEVICE_REMOVED, kRequest, FailureKind::kGone},
        {ERROR_DEVICE_NOT_CONNECTED, kRequest, FailureKind::kGone},
        {ERROR_INVALID_HANDLE, kRequest, FailureKind::kGone},
        {ERROR_SEM_TIMEOUT, kRequest, FailureKind::kTimedOut},
        {ERROR_NO_MORE_ITEMS, kRequest, FailureKind::kOther},
    };
    for (const auto& c : cases) {
        const DeviceResult result = Win32Failure(c.error, c.call, "control transfer");
        EXPECT_EQ(result.kind(), c.kind)
            << c.error << " in call " << static_cast<int>(c.call) << ": " << result.text();
        // "control transfer: " and the system's words, without its line end.
        EXPECT_EQ(result.text().rfind("control transfer: ", 0), 0u) << result.text();
        EXPECT_GT(result.text().size(), std::string("control transfer: ").size()) << c.error;
        EXPECT_EQ(result.text().find_first_of("\r\n"), std::string::npos) << result.text();
    }
}

TEST(Win32DeviceApi, ARequestTheDriverNeverCompletesTimesOutAtItsDeadline) {
    const std::string name =
        R"(\\.\pipe\qv-never-completes-)" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    auto api = CreateSystemDeviceApi();
    constexpr DWORD kPipeListen = 0x00110008;     // waits for a client: none will come
    for (int repeat = 0; repeat < 2; ++repeat) {  // the cancelled request leaves no trace
        const auto start = std::chrono::steady_clock::now();
        const DeviceResult result =
            api->IoControl(reinterpret_cast<FileHandle>(pipe), kPipeListen, nullptr, 0, nullptr, 0);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_EQ(result.kind(), FailureKind::kTimedOut) << result.text();
        EXPECT_EQ(result.text(), "control transfer: timed out after 1000 ms");
        EXPECT_GE(ms, kRequestTimeoutMs * 0.9);
        EXPECT_LE(ms, kRequestTimeoutMs * 3.0);
    }
    CloseHandle(pipe);
}

// A driver that completes a request inside DeviceIoControl blocks the call itself (played by a
// pipe opened without overlapped I/O, whose listen waits for a client that never comes): the
// request runs on a thread of its own, so the caller still gets its answer at the deadline, and
// the cancelled request leaves the handle usable.
TEST(Win32DeviceApi, ARequestBlockedInsideTheDriverEndsAtItsDeadline) {
    const std::string name =
        R"(\\.\pipe\qv-blocks-inside-)" + std::to_string(GetCurrentProcessId());
    HANDLE pipe =
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    auto api = CreateSystemDeviceApi();
    constexpr DWORD kPipeListen = 0x00110008;
    for (int repeat = 0; repeat < 2; ++repeat) {
        const auto start = std::chrono::steady_clock::now();
        const DeviceResult result =
            api->IoControl(reinterpret_cast<FileHandle>(pipe), kPipeListen, nullptr, 0, nullptr, 0);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_EQ(result, DeviceResult::Failure(FailureKind::kTimedOut,
                                                "control transfer: timed out after 1000 ms"));
        EXPECT_GE(ms, kRequestTimeoutMs * 0.9);
        EXPECT_LE(ms, kRequestTimeoutMs * 2.0);
    }
    CloseHandle(pipe);
}

TEST(Win32DeviceApi, ARequestOnAHandleThatIsGoneFailsAtOnceAsGone) {
    auto api = CreateSystemDeviceApi();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(event);  // a handle value that no longer names anything
    std::uint8_t out[4] = {};
    const DeviceResult result =
        api->IoControl(reinterpret_cast<FileHandle>(event), kIoctlPlainIn, nullptr, 0, out, 4);
    EXPECT_EQ(result.kind(), FailureKind::kGone) << result.text();
    EXPECT_EQ(result.text().rfind("control transfer: ", 0), 0u) << result.text();
}

TEST(Win32DeviceApi, SleepsLastAboutWhatTheyAsk) {
    auto api = CreateSystemDeviceApi();
    for (const std::uint32_t ms : {1u, 10u}) {
        constexpr int kRepeats = 20;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRepeats; ++i) api->Sleep(ms);
        const double each =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count() /
            kRepeats;
        // At the default 15.6 ms tick both would last about 15.6 ms.
        EXPECT_GE(each, ms * 0.9) << ms;
        EXPECT_LE(each, ms + 4.0) << ms;
    }
}

}  // namespace
}  // namespace qv

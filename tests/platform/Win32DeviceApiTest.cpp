// platform/win32 against the real calls (run under Wine in CI): no device is
// present, so the enumeration is empty, opens fail with the system's reason,
// and sleeps keep their length.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/SystemDeviceApi.h"
#include "platform/carriers/RequestBlocks.h"

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

TEST(Win32DeviceApi, CurrentDirectoryHasADriveLetterAndBackslashes) {
    auto api = CreateSystemDeviceApi();
    const std::string directory = api->CurrentDirectory();
    EXPECT_EQ(directory, std::filesystem::current_path().string());
    ASSERT_GE(directory.size(), 3u);
    EXPECT_EQ(directory.substr(1, 2), ":\\");
    EXPECT_EQ(api->PathSeparator(), '\\');
}

}  // namespace
}  // namespace qv

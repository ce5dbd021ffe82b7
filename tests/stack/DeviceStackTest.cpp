// The device stack both front ends build: one bus per virtual device, the traffic log around
// every bus, and the problems that end a run.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "stack/DeviceStack.h"
#include "usb/DeviceScan.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

fs::path TempPath(const std::string& name) {
    const fs::path path = fs::path(::testing::TempDir()) / name;
    fs::remove(path);
    return path;
}

DeviceStackOptions VirtualDevices(const std::vector<std::string>& products) {
    DeviceStackOptions options;
    for (const std::string& product : products) {
        sim::SimulationOptions& device = options.virtualDevices.emplace_back();
        device.product = product;
        device.realTime = false;
        device.instance = static_cast<int>(options.virtualDevices.size());
    }
    return options;
}

DeviceStackOptions Replay(const std::string& file) {
    DeviceStackOptions options;
    options.replayFile = file;
    return options;
}

TEST(DeviceStack, EachVirtualDeviceOnABusOfItsOwnAllRecorded) {
    const fs::path log = TempPath("qv_stack.log");
    DeviceStackOptions options = VirtualDevices({"Tesmora Pavo", "isp-a7d6"});
    options.ioLog = log.string();
    auto built = DeviceStack::Build(options);
    ASSERT_TRUE(built.ok()) << built.problem().text;
    const std::unique_ptr<DeviceStack>& stack = *built;
    ASSERT_EQ(stack->Buses().size(), 2u);
    std::set<std::string> paths;
    for (const StackBus& bus : stack->Buses()) {
        EXPECT_TRUE(bus.simulated);
        EXPECT_FALSE(bus.systemOwn);
        const std::vector<FoundDevice> found = ScanDevices(*bus.api);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_TRUE(paths.insert(found[0].path).second) << found[0].path;
        FileHandle handle = kNoFileHandle;
        ASSERT_TRUE(bus.api->OpenPath(found[0].path, handle).ok());
        bus.api->CloseHandle(handle);
    }
    EXPECT_TRUE(stack->Finish().empty());
    // Both opens went through the recorders.
    std::ifstream in(log);
    int opens = 0;
    for (std::string line; std::getline(in, line);) opens += line.starts_with("open ");
    EXPECT_EQ(opens, 2);
}

TEST(DeviceStack, WhatCannotBeBuiltSaysWhyAndOfWhichKind) {
    const fs::path folder = fs::path(::testing::TempDir());
    const struct {
        DeviceStackOptions options;
        StackProblem::Kind kind;
        const char* part;
    } cases[] = {
        {VirtualDevices({"Nonesuch"}), StackProblem::Kind::kUsage, "unknown virtual product"},
        {Replay((folder / "qv_no_such.log").string()), StackProblem::Kind::kFileRefused,
         "qv_no_such.log"},
        {[&] {
             DeviceStackOptions o = VirtualDevices({""});
             o.ioLog = folder.string();  // a folder cannot take the log
             return o;
         }(),
         StackProblem::Kind::kFileRefused, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        const auto built = DeviceStack::Build(c.options);
        ASSERT_FALSE(built.ok());
        const StackProblem& problem = built.problem();
        EXPECT_EQ(problem.kind, c.kind);
        EXPECT_NE(problem.text.find(c.part), std::string::npos) << problem.text;
        EXPECT_FALSE(problem.text.empty());
    }
}

TEST(DeviceStack, WithoutOptionsTheSystemsOwnBusThatAThreadMayOpenAnew) {
    auto built = DeviceStack::Build({});
    ASSERT_TRUE(built.ok()) << built.problem().text;
    const std::unique_ptr<DeviceStack>& stack = *built;
    ASSERT_EQ(stack->Buses().size(), 1u);
    EXPECT_TRUE(stack->Buses()[0].systemOwn);
    EXPECT_FALSE(stack->Buses()[0].simulated);
}

TEST(DeviceStack, FinishWritesTheStateFileAndReportsWhenItCannot) {
    const fs::path state = TempPath("qv_stack_state.qv");
    DeviceStackOptions options = VirtualDevices({""});
    options.virtualDevices[0].stateFile = state.string();
    auto built = DeviceStack::Build(options);
    ASSERT_TRUE(built.ok()) << built.problem().text;
    std::unique_ptr<DeviceStack> stack = std::move(*built);
    EXPECT_TRUE(stack->Finish().empty());
    EXPECT_TRUE(fs::exists(state));

    // A state file that turned into a folder meanwhile cannot take the device back. The first
    // stack lets go of the file before the second takes it.
    stack.reset();
    built = DeviceStack::Build(options);
    ASSERT_TRUE(built.ok()) << built.problem().text;
    stack = std::move(*built);
    fs::remove(state);
    fs::create_directory(state);
    const std::vector<StackProblem> problems = stack->Finish();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].kind, StackProblem::Kind::kFileRefused);
    fs::remove(state);
}

}  // namespace
}  // namespace qv

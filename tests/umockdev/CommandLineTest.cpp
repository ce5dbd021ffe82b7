// qvtool without --simulate: the real libusb platform against the emulated bus.

#include <gtest/gtest.h>
#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "sim/AudioSetting.h"
#include "tests/cli/CliRun.h"
#include "tests/umockdev/UmockdevFixture.h"

namespace qv::test {
namespace {

using QvtoolOverLibusb = UmockdevTest;

TEST_F(QvtoolOverLibusb, ListsTheProductAndBothBareChipsButNotTheUnrelatedDevice) {
    Bus().AddUnrelated();
    Bus().AddProduct(0xf017, NewChip());
    Bus().AddBareChip(0xa7d6, NewChip());
    Bus().AddBareChip(0x0c5e, NewChip());
    const CliRun run = RunCli({"list"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Tesmora K2 DAC  vid_a7d6&pid_f017  product (property mode)  "
                           "\\\\?\\usb#vid_a7d6&pid_f017#1-2#"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("vid_a7d6&pid_6000  bare chip"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("vid_0c5e&pid_6000  bare chip"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("1209"), std::string::npos) << run.out;
}

TEST_F(QvtoolOverLibusb, ReadsRegistersAndTheFlash) {
    const auto chip = NewChip();
    chip->Flash().Preload(0, {0x12, 0x34, 0x56});
    Bus().AddProduct(0xf017, chip);

    const CliRun registers = RunCli({"reg", "read", "0", "--count", "2"});
    EXPECT_EQ(registers.status, 0) << registers.err;
    EXPECT_EQ(registers.out, "00: 00\n01: 00\n");

    const CliRun flash = RunCli({"flash", "read", "dump.txt", "--kib", "1"});
    EXPECT_EQ(flash.status, 0) << flash.err;
    std::ifstream dump(WorkDir() / "dump.txt");
    std::string first;
    std::getline(dump, first);
    EXPECT_EQ(first.rfind("0x12, 0x34, 0x56, 0xFF, ", 0), 0u) << first.substr(0, 40);
}

// One update per kind of device: the product through the audio driver's interface, a bare chip
// through the plain USB device.
TEST_F(QvtoolOverLibusb, UpdatesAProductAndABareChip) {
    const std::vector<std::uint8_t> image = TestImage(1500);
    WriteBinary(WorkDir() / "image.bin", image);
    for (const bool product : {true, false}) {
        UsbTestbed& bus = Bus();
        const auto chip = NewChip();
        EmulatedUsbDevice& device =
            product ? bus.AddProduct(0xf017, chip) : bus.AddBareChip(0x0c5e, chip);
        const CliRun run = RunCli({"update", "--file", "image.bin", "--yes"});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("Firmware update success!"), std::string::npos) << run.out;
        const std::vector<std::uint8_t>& flash = chip->Flash().Contents();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()))
            << (product ? "product" : "bare chip");
        EXPECT_EQ(flash[image.size()], 0xFF);
        bus.Unplug(device);
    }
}

// A chip that restarts as it leaves ISP mode drops off the bus in the middle of that request:
// the image is in the flash, so the update succeeds, and says what happened.
TEST_F(QvtoolOverLibusb, AChipThatRestartsOnLeavingIspIsUpdated) {
    const std::vector<std::uint8_t> image = TestImage(1500);
    WriteBinary(WorkDir() / "image.bin", image);
    for (const bool product : {true, false}) {
        UsbTestbed& bus = Bus();
        const auto chip = NewChip();
        chip->SetRestartOnIspLeave(true);
        EmulatedUsbDevice& device =
            product ? bus.AddProduct(0xf017, chip) : bus.AddBareChip(0xa7d6, chip);
        const CliRun run = RunCli({"update", "--file", "image.bin", "--yes", "--json"});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        const auto json = run.Json();
        EXPECT_TRUE(json["warnings"].empty()) << run.out;
        const std::string steps = json["steps"].dump();
        EXPECT_NE(steps.find("The device restarted on leaving ISP mode"), std::string::npos)
            << steps;
        EXPECT_TRUE(device.Unplugged());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), chip->Flash().Contents().begin()));
        bus.Unplug(device);
    }
}

struct FaultCase {
    const char* name;
    UsbFaults faults;
    std::vector<std::string> arguments;
};

// Each fault fails the command with a non-zero status and no claim of success.
TEST_F(QvtoolOverLibusb, FaultsOnTheBusFailTheCommand) {
    WriteBinary(WorkDir() / "image.bin", TestImage(1500));
    const std::vector<FaultCase> cases = {
        {"unplugged mid-update", {.unplugAfter = 40}, {"update", "--file", "image.bin", "--yes"}},
        {"stalled transfer", {.stallRequest = 1}, {"reg", "read", "0"}},
        {"timed-out transfer", {.timeOutRequest = 1}, {"reg", "read", "0"}},
    };
    for (const FaultCase& c : cases) {
        EmulatedUsbDevice& device = Bus().AddProduct(0xf017, NewChip());
        device.SetFaults(c.faults);
        const CliRun run = RunCli(c.arguments);
        EXPECT_NE(run.status, 0) << c.name;
        EXPECT_EQ(run.out.find("success"), std::string::npos) << c.name << ": " << run.out;
        Bus().Unplug(device);
    }
    // With every device gone, list fails as every command does without one, saying what to do.
    const CliRun list = RunCli({"list"});
    EXPECT_EQ(list.status, 3);
    EXPECT_EQ(list.out, "");
    EXPECT_NE(list.err.find("No device is available. Plug the product in and check its USB cable."),
              std::string::npos)
        << list.err;
}

// A read the device answers with fewer bytes than asked fails as such, with nothing of it used:
// a register read and an update alike.
TEST_F(QvtoolOverLibusb, AShortReadFailsAsAShortTransfer) {
    WriteBinary(WorkDir() / "image.bin", TestImage(1500));
    const std::vector<std::vector<std::string>> commands = {
        {"--json", "reg", "read", "0"},
        {"--json", "update", "--file", "image.bin", "--yes"},
    };
    for (const auto& arguments : commands) {
        EmulatedUsbDevice& device = Bus().AddProduct(0xf017, NewChip());
        device.SetFaults({.shortReadFrom = 1});
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 1) << arguments[1] << ": " << run.out;
        const auto json = nlohmann::json::parse(run.out);
        EXPECT_EQ(json["ok"], false);
        EXPECT_EQ(json["reason"]["kind"], "short-transfer") << run.out;
        EXPECT_NE(json["reason"]["message"].get<std::string>().find("short transfer, 0 of 1 bytes"),
                  std::string::npos)
            << run.out;
        Bus().Unplug(device);
    }
}

TEST_F(QvtoolOverLibusb, ADeviceWithoutPermissionIsMarkedAndCommandsSayWhatToDo) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every device file; .ci/run runs it as nobody";
    EmulatedUsbDevice& product = Bus().AddProduct(0xf017, NewChip());
    Bus().DenyAccess(product);
    const std::string advice =
        "no permission to open /dev/bus/usb/001/002; install the udev rule (see README)";
    const CliRun list = RunCli({"list"});
    EXPECT_NE(list.out.find("Tesmora K2 DAC"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("  cannot be used: " + advice), std::string::npos) << list.out;
    const CliRun read = RunCli({"reg", "read", "0"});
    EXPECT_EQ(read.status, 3);  // no usable device
    EXPECT_EQ(read.err, "qvtool reg read: Tesmora K2 DAC: " + advice + "\n");
}

// A failure on the real platform, recorded, replays as it happened (so was
// tests/replay/update-no-permission.log recorded).
TEST_F(QvtoolOverLibusb, ARecordedPermissionFailureReplaysAsItHappened) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every device file; .ci/run runs it as nobody";
    Bus().DenyAccess(Bus().AddProduct(0xf017, NewChip()));
    WriteBinary(WorkDir() / "image.bin", TestImage(600));
    const std::vector<std::string> update = {"--json", "update", "--file", "image.bin", "--yes"};
    std::vector<std::string> live = {"--io-log", "denied.log"}, replay = {"--replay", "denied.log"};
    live.insert(live.end(), update.begin(), update.end());
    replay.insert(replay.end(), update.begin(), update.end());
    const CliRun liveRun = RunCli(live);
    const CliRun replayed = RunCli(replay);
    EXPECT_EQ(liveRun.status, 3);
    EXPECT_EQ(replayed.status, liveRun.status);
    EXPECT_EQ(replayed.out, liveRun.out);
}

// The same command leaves the same traffic on the virtual bus and on the real one.
TEST_F(QvtoolOverLibusb, RecordsTheSameTrafficAsTheVirtualDevice) {
    const std::shared_ptr<sim::Qv4820Model> chip = NewChip();
    const sim::StatusBytes playing = sim::DefaultAudioStatus();  // as the virtual product plays
    chip->SetStatusRegisters(playing[0], playing[1], playing[2]);
    Bus().AddProduct(0xf017, chip);
    // The I/O control lines (a code of 8 hexadecimal digits first); the paths of the listing and
    // open lines say which bus it was.
    const auto requests = [](const std::string& file) {
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (line.find_first_not_of("0123456789abcdef") == 8) lines.push_back(line);
        return lines;
    };
    const std::vector<std::string> command = {"reg", "read", "A4", "--count", "3", "--bank", "0"};
    std::vector<std::string> real = {"--io-log", "real.log"};
    std::vector<std::string> virtualBus = {"--simulate", "--io-log", "virtual.log"};
    real.insert(real.end(), command.begin(), command.end());
    virtualBus.insert(virtualBus.end(), command.begin(), command.end());
    ASSERT_EQ(RunCli(real).status, 0);
    ASSERT_EQ(RunCli(virtualBus).status, 0);
    EXPECT_GT(requests("real.log").size(), 3u);
    EXPECT_EQ(requests("real.log"), requests("virtual.log"));
}

// The harness itself: a claim on the audio interface is refused as the kernel would and fails
// the test.
TEST_F(QvtoolOverLibusb, AClaimOfTheAudioInterfaceIsCaught) {
    EmulatedUsbDevice& product = Bus().AddProduct(0xf017, NewChip());
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), 0);
    libusb_device_handle* handle = libusb_open_device_with_vid_pid(context, 0xa7d6, 0xf017);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(libusb_kernel_driver_active(handle, 0), 1);
    EXPECT_EQ(libusb_claim_interface(handle, 0), LIBUSB_ERROR_BUSY);
    libusb_close(handle);
    libusb_exit(context);
    const std::vector<std::string> violations = product.TakeViolations();
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_NE(violations[0].find("claim interface"), std::string::npos) << violations[0];
}

}  // namespace
}  // namespace qv::test

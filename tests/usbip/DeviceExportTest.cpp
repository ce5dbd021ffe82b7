// An exported virtual device as a USB/IP client drives it: enumeration, the chip's vendor
// requests, unplug, isochronous pacing and unlinks, without a kernel.

#include <gtest/gtest.h>

#include <memory>

#include "sim/Qv4820Model.h"
#include "usbip/DeviceExport.h"
#include "usbip/UsbipCodec.h"

namespace qv::usbip {
namespace {

using std::chrono::milliseconds;
constexpr std::uint32_t kDevid = 0x00010001;

struct Returned {
    std::uint32_t command = 0;
    std::uint32_t seqnum = 0;
    std::int32_t status = 0;
    std::uint32_t actualLength = 0;
    Bytes data;
};

std::uint32_t At(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

Returned Parse(const Bytes& reply) {
    EXPECT_GE(reply.size(), 48u);
    return {At(reply, 0), At(reply, 4), static_cast<std::int32_t>(At(reply, 20)), At(reply, 24),
            Bytes(reply.begin() + 48, reply.end())};
}

class DeviceExportTest : public ::testing::Test {
  protected:
    void Export(const std::string& product, std::vector<std::string> faults = {}) {
        sim::SimulationOptions options;
        options.product = product;
        options.faults = std::move(faults);
        options.realTime = false;
        auto simulation = sim::Simulation::Create(options);
        ASSERT_TRUE(simulation.ok()) << simulation.text();
        simulation_ = std::move(*simulation);
        device_ = std::make_unique<DeviceExport>(*simulation_, "1-1", 1);
        ASSERT_TRUE(device_->Import());
    }

    DeviceExport::Outcome Submit(std::array<std::uint8_t, 8> setup, Bytes out = {},
                                 std::uint32_t devid = kDevid) {
        SubmitCommand submit;
        submit.seqnum = ++seqnum_;
        submit.devid = devid;
        submit.direction = setup[0] & 0x80 ? kDirIn : kDirOut;
        submit.setup = setup;
        submit.length = static_cast<std::uint32_t>(out.size());
        submit.outData = std::move(out);
        return device_->Handle(submit, now_);
    }

    Returned Control(std::array<std::uint8_t, 8> setup, Bytes out = {}) {
        const DeviceExport::Outcome outcome = Submit(setup, std::move(out));
        EXPECT_FALSE(outcome.gone);
        EXPECT_EQ(outcome.replies.size(), 1u);
        return outcome.replies.empty() ? Returned{} : Parse(outcome.replies.front());
    }

    void SubmitIso(std::int32_t packets) {
        SubmitCommand submit;
        submit.seqnum = ++seqnum_;
        submit.devid = kDevid;
        submit.endpoint = 1;
        submit.interval = 8;  // microframes: one packet per millisecond
        submit.packetCount = packets;
        submit.length = static_cast<std::uint32_t>(24 * packets);
        submit.outData.assign(submit.length, 0x55);
        for (std::int32_t i = 0; i < packets; ++i)
            submit.packets.push_back({static_cast<std::uint32_t>(24 * i), 24, 0, 0});
        EXPECT_TRUE(device_->Handle(submit, now_).replies.empty());
    }

    Returned Unlink(std::uint32_t seqnum) {
        const auto outcome = device_->Handle(UnlinkCommand{++seqnum_, kDevid, kDirOut, 0, seqnum});
        EXPECT_EQ(outcome.replies.size(), 1u);
        return Parse(outcome.replies.front());
    }

    std::unique_ptr<sim::Simulation> simulation_;
    std::unique_ptr<DeviceExport> device_;
    std::uint32_t seqnum_ = 0;
    TimePoint now_ = std::chrono::steady_clock::now();
};

// What the kernel asks while it enumerates a device and binds its drivers, and what the device
// must answer; a stall is status -32.
struct StandardCase {
    const char* name;
    std::array<std::uint8_t, 8> setup;
    std::int32_t status;
    Bytes data;  // the start of the IN data
};

const StandardCase kProductRequests[] = {
    {"DeviceDescriptor",
     {0x80, 6, 0, 1, 0, 0, 64, 0},
     0,
     {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0xd6, 0xa7, 0x17, 0xf0}},
    {"ConfigurationHead", {0x80, 6, 0, 2, 0, 0, 9, 0}, 0, {9, 2, 100, 0, 2, 1, 0, 0x80}},
    {"LanguageIds", {0x80, 6, 0, 3, 0, 0, 255, 0}, 0, {4, 3, 0x09, 0x04}},
    {"ProductName", {0x80, 6, 2, 3, 0x09, 0x04, 255, 0}, 0, {30, 3, 'T', 0, 'e', 0}},
    {"NoSuchString", {0x80, 6, 9, 3, 0x09, 0x04, 255, 0}, kStatusStall, {}},
    {"NoDeviceQualifier", {0x80, 6, 0, 6, 0, 0, 10, 0}, kStatusStall, {}},
    {"SecondConfiguration", {0x00, 9, 2, 0, 0, 0, 0, 0}, kStatusStall, {}},
    {"SetConfiguration", {0x00, 9, 1, 0, 0, 0, 0, 0}, 0, {}},
    {"GetConfiguration", {0x80, 8, 0, 0, 0, 0, 1, 0}, 0, {1}},
    {"StreamingSetting1", {0x01, 11, 1, 0, 1, 0, 0, 0}, 0, {}},
    {"GetInterface", {0x81, 10, 0, 0, 1, 0, 1, 0}, 0, {1}},
    {"NoStreamingSetting2", {0x01, 11, 2, 0, 1, 0, 0, 0}, kStatusStall, {}},
    {"NoInterface2", {0x01, 11, 0, 0, 2, 0, 0, 0}, kStatusStall, {}},
    {"EndpointStatus", {0x82, 0, 0, 0, 0x01, 0, 2, 0}, 0, {0, 0}},
    {"ClearHalt", {0x02, 1, 0, 0, 0x01, 0, 0, 0}, 0, {}},
    {"NoRemoteWakeup", {0x00, 3, 1, 0, 0, 0, 0, 0}, kStatusStall, {}},
    {"NoClassRequests", {0xA1, 0x81, 0, 1, 0, 1, 2, 0}, kStatusStall, {}},
    {"RegisterRead", {0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0}, 0, {}},
    {"UnknownVendorRequest", {0xC3, 0x77, 0, 0, 0, 0, 1, 0}, kStatusStall, {}},
};

TEST_F(DeviceExportTest, AnswersTheKernelsRequestsInOrder) {
    Export("");
    for (const StandardCase& c : kProductRequests) {
        SCOPED_TRACE(c.name);
        const Returned r = Control(c.setup);
        EXPECT_EQ(r.command, kRetSubmit);
        EXPECT_EQ(r.seqnum, seqnum_);
        EXPECT_EQ(r.status, c.status);
        ASSERT_GE(r.data.size(), c.data.size());
        EXPECT_EQ(Bytes(r.data.begin(), r.data.begin() + c.data.size()), c.data);
        if (c.status == 0 && (c.setup[0] & 0x80)) {
            EXPECT_EQ(r.actualLength, r.data.size());
        }
    }
}

TEST_F(DeviceExportTest, DescribesTheProductByItsAudioInterfaces) {
    Export("");
    const ExportedDevice description = device_->Description();
    EXPECT_EQ(description.vendor, 0xa7d6);
    EXPECT_EQ(description.product, 0xf017);
    ASSERT_EQ(description.interfaces.size(), 2u);
    EXPECT_EQ(description.interfaces[0].cls, 1);
    EXPECT_EQ(description.interfaces[1].subClass, 2);
}

TEST_F(DeviceExportTest, BareChipHasItsOwnIdsAndVendorClass) {
    Export("isp-0c5e");
    const Returned r = Control({0x80, 6, 0, 1, 0, 0, 18, 0});
    EXPECT_EQ(r.data,
              (Bytes{18, 1, 0, 2, 0xFF, 0, 0, 64, 0x5e, 0x0c, 0x00, 0x60, 0, 1, 1, 2, 3, 1}));
    ASSERT_EQ(device_->Description().interfaces.size(), 1u);
    EXPECT_EQ(device_->Description().interfaces[0].cls, 0xFF);
}

TEST_F(DeviceExportTest, VendorRequestsReachTheChip) {
    Export("");
    EXPECT_EQ(Control({0x43, 0x90, 0, 0, 0x10, 0, 1, 0}, {0x5A}).status, 0);
    const Returned read = Control({0xC3, 0x91, 0, 0, 0x10, 0, 1, 0});
    EXPECT_EQ(read.data, Bytes{simulation_->Chip().RegisterValue(0, 0x10)});
    // An OUT request whose data does not match its length stalls rather than reading past it.
    EXPECT_EQ(Control({0x43, 0x90, 0, 0, 0x10, 0, 1, 0}, {}).status, kStatusStall);
}

TEST_F(DeviceExportTest, UnplugEndsTheConnectionAndTheExport) {
    Export("", {"unplug-after:1"});
    EXPECT_EQ(Control({0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0}).status, 0);
    const DeviceExport::Outcome outcome = Submit({0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0});
    EXPECT_TRUE(outcome.gone);
    EXPECT_TRUE(outcome.replies.empty());
    device_->Release();
    EXPECT_FALSE(device_->Available());
    EXPECT_FALSE(device_->Import());
}

TEST_F(DeviceExportTest, ATransferFaultIsAProtocolError) {
    Export("", {"fail-transfer:1"});
    EXPECT_EQ(Control({0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0}).status, kStatusProtocol);
}

TEST_F(DeviceExportTest, ASilentDeviceIsLeftToTheHostsTimeoutAndUnlinked) {
    Export("", {"silent-after:0"});
    EXPECT_TRUE(Submit({0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0}).replies.empty());
    const std::uint32_t silent = seqnum_;
    EXPECT_EQ(Unlink(silent).status, kStatusUnlinked);
    EXPECT_EQ(Unlink(silent).status, 0);  // gone already: nothing left to unlink
}

TEST_F(DeviceExportTest, IsochronousUrbsCompleteAtTheirPaceAndCanBeUnlinked) {
    Export("");
    Control({0x00, 9, 1, 0, 0, 0, 0, 0});
    Control({0x01, 11, 1, 0, 1, 0, 0, 0});
    SubmitIso(8);
    const std::uint32_t first = seqnum_;
    SubmitIso(8);
    const std::uint32_t second = seqnum_;
    EXPECT_TRUE(device_->TakeDue(now_ + milliseconds(7)).empty());
    const std::vector<Bytes> due = device_->TakeDue(now_ + milliseconds(8));
    ASSERT_EQ(due.size(), 1u);
    const Returned r = Parse(due.front());
    EXPECT_EQ(r.seqnum, first);
    EXPECT_EQ(r.actualLength, 8u * 24);
    EXPECT_EQ(At(due.front(), 32), 8u);  // packets, each with its descriptor after the header
    EXPECT_EQ(due.front().size(), 48u + 8 * 16);
    EXPECT_EQ(Unlink(second).status, kStatusUnlinked);
    EXPECT_TRUE(device_->TakeDue(now_ + milliseconds(100)).empty());
    EXPECT_EQ(Unlink(first).status, 0);
}

TEST_F(DeviceExportTest, AClientCannotPileUpUrbs) {
    Export("", {"silent-after:0"});
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(Submit({0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0}).refused.empty());
    const DeviceExport::Outcome outcome = Submit({0xC3, 0x91, 0, 0, 0xA4, 0, 1, 0});
    EXPECT_NE(outcome.refused.find("more than 256 URBs"), std::string::npos) << outcome.refused;
}

TEST_F(DeviceExportTest, StreamsOnlyInTheChosenSetting) {
    Export("");
    Control({0x00, 9, 1, 0, 0, 0, 0, 0});
    SubmitCommand submit;
    submit.seqnum = 77;
    submit.devid = kDevid;
    submit.endpoint = 1;
    submit.packetCount = 1;
    submit.length = 24;
    submit.outData.assign(24, 0);
    submit.packets = {{0, 24, 0, 0}};
    const auto outcome = device_->Handle(submit, now_);
    ASSERT_EQ(outcome.replies.size(), 1u);  // setting 0 has no endpoint: stalled at once
    EXPECT_EQ(Parse(outcome.replies.front()).status, kStatusStall);
}

TEST_F(DeviceExportTest, RefusesCommandsForAnotherDevice) {
    Export("");
    const DeviceExport::Outcome outcome = Submit({0x80, 6, 0, 1, 0, 0, 18, 0}, {}, 0x00010002);
    EXPECT_TRUE(outcome.replies.empty());
    EXPECT_NE(outcome.refused.find("65538"), std::string::npos) << outcome.refused;
}

TEST_F(DeviceExportTest, OneClientAtATimeAndAgainAfterRelease) {
    Export("");
    EXPECT_FALSE(device_->Available());
    EXPECT_FALSE(device_->Import());
    Control({0x00, 9, 1, 0, 0, 0, 0, 0});
    device_->Release();
    ASSERT_TRUE(device_->Import());
    // A new client meets a device just reset: unconfigured.
    EXPECT_EQ(Control({0x80, 8, 0, 0, 0, 0, 1, 0}).data, Bytes{0});
}

}  // namespace
}  // namespace qv::usbip

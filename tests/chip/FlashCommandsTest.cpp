#include <numeric>

#include "chip/FlashCommands.h"
#include "tests/chip/ChipFixture.h"

namespace qv {
namespace {

struct FlashCommandsTest : ChipFixture {
    void EnterIsp() {
        ASSERT_TRUE(IspEnterMode(usb, true));
        bus.ClearLog();
    }
    // Waits in device time until the flash reports WIP clear.
    void WaitIdle() {
        for (int i = 0; i < 10'000 && (FlashReadStatus(usb) & kFlashStatusBusy) != 0; ++i) {
            bus.Sleep(1);
        }
    }
};

TEST_F(FlashCommandsTest, IspEnterAndLeaveSendTheirRequestThenRouteTheFlashPort) {
    EXPECT_TRUE(IspEnterMode(usb, true));
    EXPECT_TRUE(chip->IspModeOn());
    EXPECT_TRUE(chip->FlashPortRouted());
    EXPECT_TRUE(IspEnterMode(usb, false));
    EXPECT_FALSE(chip->IspModeOn());
    const std::vector<Request> expected{
        {0x43, 0x84, 0x6B2E, 0x1C94, {}}, {0x43, 0x90, 0, 0, {13}},
        {0x43, 0x90, 0, 7, {0x10}},       {0x43, 0x90, 0, 1, {0x03}},
        {0x43, 0x85, 0x47A9, 0x3D51, {}}, {0x43, 0x90, 0, 0, {13}},
        {0x43, 0x90, 0, 7, {0x00}},
    };
    EXPECT_EQ(Requests(), expected);
}

TEST_F(FlashCommandsTest, RefusedIspEntryFailsButStillRoutesThePort) {
    chip->SetIspEntryRefused(true);
    EXPECT_FALSE(IspEnterMode(usb, true));
    EXPECT_EQ(CountRequests(0x90), 3u);
    EXPECT_FALSE(chip->IspModeOn());
}

TEST_F(FlashCommandsTest, IspEnterWithoutAnOpenHandleFailsAndSendsNothing) {
    usb.Close();
    EXPECT_FALSE(IspEnterMode(usb, true));
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(FlashCommandsTest, ProgramBlockSendsOpcodeAndAddressThenTheDataEndingTheTransaction) {
    EnterIsp();
    std::vector<std::uint8_t> data(256);
    std::iota(data.begin(), data.end(), 0);
    ASSERT_TRUE(FlashWriteEnable(usb));
    bus.ClearLog();
    EXPECT_TRUE(FlashProgramBlock(usb, 0x12345, 256, data.data()));
    const std::vector<Request> expected{{0x43, 0x80, 0, 0, {0x02, 0x01, 0x23, 0x45}},
                                        {0x43, 0x80, 0, 1, data}};
    EXPECT_EQ(Requests(), expected);
    // The page program wraps inside page 0x12300: byte 0 lands at 0x12345.
    EXPECT_EQ(chip->Flash().Contents()[0x12345], 0x00);
    EXPECT_EQ(chip->Flash().Contents()[0x12300], 0xBB);
}

TEST_F(FlashCommandsTest, SectorEraseSendsOneCompleteInstruction) {
    EnterIsp();
    EXPECT_TRUE(FlashEraseSector(usb, 0x1000));
    const std::vector<Request> expected{{0x43, 0x80, 0, 1, {0x20, 0x00, 0x10, 0x00}}};
    EXPECT_EQ(Requests(), expected);
}

TEST_F(FlashCommandsTest, ReadBlockWhosePollNeverReportsReadyGivesUpAfter100Polls) {
    EnterIsp();
    chip->SetSpiPortStuck(true);
    const std::uint64_t start = clock.NowMicros();
    std::uint8_t buffer[64] = {};
    EXPECT_FALSE(FlashReadBlock(usb, 0x100, 64, buffer));
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 101u);
    // 100 waits of 1 ms, and the time of the transfers
    EXPECT_EQ(clock.NowMicros() - start, 100'000u + 101 * sim::VirtualBus::kDefaultLatencyMicros);
    EXPECT_EQ(requests[0], (Request{0x43, 0x81, 64, 1, {0x03, 0x00, 0x01, 0x00}}));
    EXPECT_EQ(CountRequests(0x83), 100u);
    EXPECT_EQ(CountRequests(0x82), 0u);
}

TEST_F(FlashCommandsTest, ReadStatusTimeOutReturnsFFWithoutFetching) {
    EnterIsp();
    chip->SetSpiPortStuck(true);
    EXPECT_EQ(FlashReadStatus(usb), 0xFF);
    EXPECT_EQ(CountRequests(0x81), 1u);
    EXPECT_EQ(CountRequests(0x83), 10u);
    EXPECT_EQ(CountRequests(0x82), 0u);
}

TEST_F(FlashCommandsTest, ReadStatusKeepsFFWhenTheFetchFails) {
    EnterIsp();
    bus.SetTransferFaults(device, {.failTransfer = 3});  // 0x81, 0x83, then the fetch
    EXPECT_EQ(FlashReadStatus(usb), 0xFF);
    EXPECT_EQ(FlashReadStatus(usb), 0x00);
}

TEST_F(FlashCommandsTest, PollReadyIsFalseForAZeroAnswerAndForAFailedRequest) {
    EnterIsp();
    EXPECT_TRUE(FlashPollReady(usb));
    chip->SetSpiPortStuck(true);
    EXPECT_FALSE(FlashPollReady(usb));
    chip->SetSpiPortStuck(false);
    bus.SetTransferFaults(device, {.failTransfer = 1});
    EXPECT_FALSE(FlashPollReady(usb));
}

TEST_F(FlashCommandsTest, ReadIdFillsTheBytesOnlyFromASuccessfulFetch) {
    EnterIsp();
    FlashId id{0x11, 0x22, 0x33};
    bus.SetTransferFaults(device, {.failTransfer = 3});  // 0x81, one 0x83, then the fetch
    EXPECT_FALSE(FlashReadId(usb, id));
    EXPECT_EQ(id, (FlashId{0x11, 0x22, 0x33}));
    EXPECT_TRUE(FlashReadId(usb, id));
    EXPECT_EQ(id, (FlashId{0xEF, 0x40, 0x15}));
    EXPECT_EQ(Requests().back(), (Request{0xC3, 0x82, 0, 0, {0xEF, 0x40, 0x15}}));
}

TEST_F(FlashCommandsTest, OversizedCountsAreRefusedWithoutTraffic) {
    EnterIsp();
    std::vector<std::uint8_t> buffer(300, 0);
    EXPECT_FALSE(FlashReadBlock(usb, 0, 256, buffer.data()));
    EXPECT_FALSE(FlashProgramBlock(usb, 0, 0, buffer.data()));
    EXPECT_FALSE(FlashProgramBlock(usb, 0, 257, buffer.data()));
    EXPECT_FALSE(FlashSendCommand(usb, 0x20, 4, buffer.data()));
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(FlashCommandsTest, FlashRequestsFailOutsideIspMode) {
    EXPECT_FALSE(FlashWriteEnable(usb));
    EXPECT_EQ(FlashReadStatus(usb), 0xFF);
}

TEST_F(FlashCommandsTest, EraseProgramAndReadBackThroughTheChip) {
    EnterIsp();
    chip->Flash().Preload(0x2000, std::vector<std::uint8_t>(64, 0x00));
    ASSERT_TRUE(FlashWriteEnable(usb));
    ASSERT_TRUE(FlashEraseSector(usb, 0x2000));
    EXPECT_EQ(FlashReadStatus(usb) & 0x03, 0x03);  // busy, write enabled
    WaitIdle();
    EXPECT_EQ(FlashReadStatus(usb), 0x00);

    std::vector<std::uint8_t> data(256);
    std::iota(data.begin(), data.end(), 0x40);
    ASSERT_TRUE(FlashWriteEnable(usb));
    ASSERT_TRUE(FlashProgramBlock(usb, 0x2000, 256, data.data()));
    WaitIdle();
    std::uint8_t block[64] = {};
    ASSERT_TRUE(FlashReadBlock(usb, 0x2040, 64, block));
    EXPECT_TRUE(std::equal(block, block + 64, data.begin() + 64));
}

TEST_F(FlashCommandsTest, ProtectingStatusBlocksLaterErases) {
    EnterIsp();
    ASSERT_TRUE(FlashWriteEnable(usb));
    ASSERT_TRUE(FlashWriteStatus(usb, 0xFF));
    WaitIdle();
    EXPECT_EQ(FlashReadStatus(usb), 0xFC);
    chip->Flash().Preload(0, {0x12});
    ASSERT_TRUE(FlashWriteEnable(usb));
    ASSERT_TRUE(FlashEraseAll(usb));
    EXPECT_EQ(FlashReadStatus(usb), 0xFC);  // refused at once, latch cleared
    EXPECT_EQ(chip->Flash().Contents()[0], 0x12);
}

}  // namespace
}  // namespace qv

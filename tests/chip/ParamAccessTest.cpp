#include "chip/Registers.h"
#include "tests/chip/ChipFixture.h"

namespace qv {
namespace {

using Trace = std::vector<std::string>;

struct ParamAccessTest : ChipFixture {
    void SetUp() override {
        ChipFixture::SetUp();
        usb.Close();  // ParamAccess opens the link itself
    }
};

TEST_F(ParamAccessTest, WriteSendsDataFirstCommandLastAndClearsTheCommand) {
    std::uint8_t vid[4] = {'a', '7', 'd', '0'};
    EXPECT_TRUE(ParamAccess(usb, 0x10, 0x08, 0, 4, vid));
    // Completion shows 15 ms after the command: the second poll, 20 ms in, sees it.
    const Trace expected{"W00=00", "W93=61", "W94=37", "W95=64", "W96=30", "W91=08",
                         "W92=00", "W90=10", "R90",    "R90",    "W90=00"};
    EXPECT_EQ(RegisterTrace(), expected);
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_EQ(chip->Parameters().VendorId(), (sim::ParameterStore::Id{'a', '7', 'd', '0'}));
    EXPECT_EQ(chip->RegisterValue(0, 0x90), 0x00);
}

TEST_F(ParamAccessTest, ReadWritesNoDataAndLeavesTheCommandAsTheDeviceSetIt) {
    std::uint8_t settings[4] = {0x30, 0xE0, 0x12, 0x00};
    ASSERT_TRUE(ParamAccess(usb, 0x10, 0x20, 0, 4, settings));
    bus.ClearLog();
    std::uint8_t back[4] = {};
    EXPECT_TRUE(ParamAccess(usb, 0x10, 0x21, 0, 4, back));
    const Trace expected{"W00=00", "W91=21", "W92=00", "W90=10", "R90",
                         "R90",    "R93",    "R94",    "R95",    "R96"};
    EXPECT_EQ(RegisterTrace(), expected);
    // The device reports its EEPROM in byte 3 bit 7.
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 4),
              (std::vector<std::uint8_t>{0x30, 0xE0, 0x12, 0x80}));
    EXPECT_EQ(chip->RegisterValue(0, 0x90), 0xEE);

    chip->Parameters().SetEepromPresent(false);
    EXPECT_TRUE(ParamAccess(usb, 0x10, 0x21, 0, 4, back));
    EXPECT_EQ(back[3], 0x00);
}

TEST_F(ParamAccessTest, StringChunksFillTheBlock) {
    const std::string text = "Quorvex-inc";
    std::vector<std::uint8_t> block{static_cast<std::uint8_t>(text.size())};
    block.insert(block.end(), text.begin(), text.end());
    EXPECT_TRUE(ParamAccess(usb, 0x10, 0x14, 0, 8, block.data()));
    EXPECT_TRUE(ParamAccess(usb, 0x10, 0x14, 1, 4, block.data() + 8));
    const auto& stored = chip->Parameters().String(1);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), stored.begin()));
}

TEST_F(ParamAccessTest, ADeviceThatNeverAnswersCostsTwentyPollsAndStillSucceeds) {
    chip->SetMailboxSilent(true);
    const std::uint64_t start = clock.NowMicros();
    std::uint8_t count0 = 0;
    EXPECT_TRUE(ParamAccess(usb, 0x10, 0x0A, 0, 0, &count0));
    EXPECT_EQ(clock.NowMicros() - start,
              200'000u + bus.Log().size() * sim::VirtualBus::kDefaultLatencyMicros);
    const Trace trace = RegisterTrace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "R90"), 20);
    const Trace head(trace.begin(), trace.begin() + 4);
    EXPECT_EQ(head, (Trace{"W00=00", "W91=0A", "W92=00", "W90=10"}));
    EXPECT_EQ(trace.back(), "W90=00");
}

TEST_F(ParamAccessTest, NoDeviceFailsAtOnceAndLeavesTheBufferAlone) {
    bus.Detach(device);
    std::uint8_t data[4] = {1, 2, 3, 4};
    const std::uint64_t start = clock.NowMicros();
    EXPECT_FALSE(ParamAccess(usb, 0x10, 0x21, 0, 4, data));
    EXPECT_EQ(clock.NowMicros(), start);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(ParamAccessTest, AFailedRegisterTransferIsReported) {
    bus.SetTransferFaults(device, {.failTransfer = 2});
    std::uint8_t settings[4] = {};
    EXPECT_FALSE(ParamAccess(usb, 0x10, 0x20, 0, 4, settings));
}

}  // namespace
}  // namespace qv

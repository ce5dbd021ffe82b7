#include "chip/Registers.h"
#include "tests/chip/ChipFixture.h"

namespace qv {
namespace {

using Trace = std::vector<std::string>;

struct I2cCommandsTest : ChipFixture {
    void SetUp() override {
        ChipFixture::SetUp();
        I2cMasterEnable(usb);
        bus.ClearLog();
    }
};

// One transmitted byte that the master finishes at once: operation, data, done poll, ack read.
Trace SentByte(const char* hex) {
    return {"W14=01", std::string("W12=") + hex, "R10", "R10"};
}

Trace Join(std::initializer_list<Trace> parts) {
    Trace all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Trace kStart{"W10=C0"};
const Trace kStop{"W10=A0"};

TEST_F(I2cCommandsTest, AbsentSlaveCostsTenAttemptsWithoutStopsThenOneStop) {
    const std::uint8_t data = 0x55;
    EXPECT_FALSE(I2cWrite(usb, 0x40, 0x01, 1, &data));
    Trace expected;
    for (int i = 0; i < 10; ++i) expected = Join({expected, kStart, SentByte("40")});
    expected = Join({expected, kStop});
    EXPECT_EQ(RegisterTrace(), expected);
}

TEST_F(I2cCommandsTest, OneByteWriteAndReadCost14And19Transfers) {
    const std::uint8_t data = 0xA5;
    EXPECT_TRUE(I2cWrite(usb, 0x20, 0x05, 1, &data));
    EXPECT_EQ(RegisterTrace(),
              Join({kStart, SentByte("20"), SentByte("05"), SentByte("A5"), kStop}));
    EXPECT_EQ(chip->DefaultSlave().Register(0x05), 0xA5);

    bus.ClearLog();
    std::uint8_t read = 0;
    EXPECT_TRUE(I2cRead(usb, 0x20, 0x05, 1, &read));
    EXPECT_EQ(read, 0xA5);
    EXPECT_EQ(RegisterTrace(), Join({kStart,
                                     SentByte("20"),
                                     SentByte("05"),
                                     kStart,
                                     SentByte("21"),
                                     {"W10=90", "W14=03", "R10", "R13"},
                                     kStop}));
}

TEST_F(I2cCommandsTest, MultiByteTransfersAutoIncrementAcrossTheRegisterWrap) {
    const std::uint8_t data[3] = {0x11, 0x22, 0x33};
    EXPECT_TRUE(I2cWrite(usb, 0x20, 0xFE, 3, data));
    EXPECT_EQ(chip->DefaultSlave().Register(0x00), 0x33);

    std::uint8_t read[3] = {};
    const std::uint8_t reg = 0xFE;
    EXPECT_TRUE(I2cReadCommand(usb, 0x20, 1, &reg, 3, read));
    EXPECT_EQ(std::vector<std::uint8_t>(read, read + 3), std::vector<std::uint8_t>(data, data + 3));
    // Only the last byte goes without acknowledge.
    const Trace trace = RegisterTrace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "W10=80"), 2);
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "W10=90"), 1);

    const std::uint8_t command[2] = {0x10, 0x77};
    EXPECT_TRUE(I2cWriteCommand(usb, 0x20, 2, command, 1, data));
    EXPECT_EQ(chip->DefaultSlave().Register(0x10), 0x77);
    EXPECT_EQ(chip->DefaultSlave().Register(0x11), 0x11);
}

TEST_F(I2cCommandsTest, EmptyTransactionsStillAddressTheSlaveAndStop) {
    EXPECT_TRUE(I2cWriteCommand(usb, 0x20, 0, nullptr, 0, nullptr));
    EXPECT_EQ(RegisterTrace(), Join({kStart, SentByte("20"), kStop}));

    bus.ClearLog();
    EXPECT_TRUE(I2cRead(usb, 0x21, 0x03, 0, nullptr));
    // An odd address goes out unchanged in both phases.
    EXPECT_EQ(RegisterTrace(),
              Join({kStart, SentByte("21"), SentByte("03"), kStart, SentByte("21"), kStop}));
}

TEST_F(I2cCommandsTest, ASlaveThatStopsAcknowledgingFailsTheNextTransaction) {
    std::uint8_t read = 0x5A;
    chip->SetSlaveSilent(0x20, true);
    EXPECT_FALSE(I2cRead(usb, 0x20, 0x00, 1, &read));
    EXPECT_EQ(read, 0x5A);
    const Trace trace = RegisterTrace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "W10=A0"), 1);
}

TEST_F(I2cCommandsTest, AFailedAcknowledgeReadCountsAsNotAcknowledged) {
    bus.SetTransferFaults(device, {.failTransfer = 5});  // the first attempt's ack read
    EXPECT_TRUE(I2cWriteCommand(usb, 0x20, 0, nullptr, 0, nullptr));
    const Trace trace = RegisterTrace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "W10=C0"), 2);
}

TEST_F(I2cCommandsTest, AFailedDataReadFailsTheReadAndLeavesTheByte) {
    bus.SetTransferFaults(device, {.failTransfer = 18});  // register 19 of the only byte
    std::uint8_t read = 0x5A;
    EXPECT_FALSE(I2cRead(usb, 0x20, 0x00, 1, &read));
    EXPECT_EQ(read, 0x5A);
    EXPECT_EQ(RegisterTrace().back(), "W10=A0");
}

}  // namespace
}  // namespace qv

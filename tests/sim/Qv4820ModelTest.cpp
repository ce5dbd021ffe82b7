#include <gtest/gtest.h>

#include <vector>

#include "sim/Qv4820Model.h"

namespace qv::sim {
namespace {

struct Qv4820ModelTest : ::testing::Test {
    VirtualClock clock;
    Qv4820Model chip{clock};

    bool Out(std::uint8_t request, std::uint16_t value, std::uint16_t index,
             std::vector<std::uint8_t> data = {}) {
        const ControlSetup setup{0x43, request, value, index,
                                 static_cast<std::uint32_t>(data.size())};
        return chip.HandleRequest(setup, data.data());
    }
    bool In(std::uint8_t request, std::uint16_t value, std::uint16_t index,
            std::vector<std::uint8_t>& data) {
        const ControlSetup setup{0xC3, request, value, index,
                                 static_cast<std::uint32_t>(data.size())};
        return chip.HandleRequest(setup, data.data());
    }
    bool Write(std::uint16_t reg, std::uint8_t value) { return Out(0x90, 0, reg, {value}); }
    std::uint8_t Read(std::uint16_t reg) {
        std::vector<std::uint8_t> byte{0x5A};
        EXPECT_TRUE(In(0x91, 0, reg, byte));
        return byte[0];
    }
    void EnterIsp() {
        ASSERT_TRUE(Out(0x84, 0x6B2E, 0x1C94));
        Write(0, 13);
        Write(7, 0x10);
        Write(1, 0x03);
    }
    std::uint8_t FlashStatus() {
        EXPECT_TRUE(Out(0x81, 1, 1, {0x05}));
        clock.SleepMicros(125);  // the port's transfer is over
        std::vector<std::uint8_t> status{0};
        EXPECT_TRUE(In(0x82, 0, 0, status));
        return status[0];
    }
};

TEST_F(Qv4820ModelTest, RegisterZeroSelectsTheBankInEveryBank) {
    Write(0, 5);
    Write(0x30, 0x77);
    Write(0, 6);
    EXPECT_EQ(Read(0x30), 0x00);
    EXPECT_EQ(Read(0), 6);
    Write(0, 5);
    EXPECT_EQ(Read(0x30), 0x77);
    EXPECT_EQ(chip.RegisterValue(5, 0x30), 0x77);
    EXPECT_EQ(chip.SelectedBank(), 5);
}

TEST_F(Qv4820ModelTest, MalformedRegisterRequestsStall) {
    std::vector<std::uint8_t> two(2);
    EXPECT_FALSE(Out(0x90, 0, 0x10, {1, 2}));
    EXPECT_FALSE(Out(0x90, 1, 0x10, {1}));
    EXPECT_FALSE(Out(0x90, 0, 0x100, {1}));
    EXPECT_FALSE(In(0x91, 0, 0x10, two));
    EXPECT_FALSE(Out(0x91, 0, 0x10, {1}));  // a read sent host-to-device
    EXPECT_FALSE(Out(0x86, 0, 0));
}

TEST_F(Qv4820ModelTest, FlashRequestsNeedIspModeAndTheRoutedPort) {
    std::vector<std::uint8_t> ready{0};
    EXPECT_FALSE(In(0x83, 0, 0, ready));
    EXPECT_FALSE(Out(0x84, 0x6B2E, 0x1C95));  // wrong index
    EXPECT_FALSE(Out(0x84, 0x6B2F, 0x1C94));  // wrong value
    EXPECT_TRUE(Out(0x84, 0x6B2E, 0x1C94));
    EXPECT_TRUE(chip.IspModeOn());
    EXPECT_FALSE(In(0x83, 0, 0, ready));  // not routed yet
    Write(0, 13);
    Write(7, 0x10);
    EXPECT_FALSE(In(0x83, 0, 0, ready));
    Write(1, 0x03);
    EXPECT_TRUE(In(0x83, 0, 0, ready));
    EXPECT_EQ(ready[0], 1);
    EXPECT_FALSE(Out(0x85, 0x47A9, 0x3D50));
    EXPECT_TRUE(Out(0x85, 0x47A9, 0x3D51));
    EXPECT_FALSE(In(0x83, 0, 0, ready));

    chip.SetIspEntryRefused(true);
    EXPECT_FALSE(Out(0x84, 0x6B2E, 0x1C94));
    EXPECT_FALSE(chip.IspModeOn());
}

TEST_F(Qv4820ModelTest, IndexZeroKeepsTheChipSelectForTheDataThatFollow) {
    EnterIsp();
    Out(0x80, 0, 1, {0x06});
    EXPECT_TRUE(Out(0x80, 0, 0, {0x02, 0x00, 0x01, 0x00}));
    EXPECT_TRUE(Out(0x80, 0, 1, {0x12, 0x34}));
    EXPECT_EQ(chip.Flash().Contents()[0x100], 0x12);
    EXPECT_EQ(chip.Flash().Contents()[0x101], 0x34);
    EXPECT_FALSE(Out(0x80, 0, 2, {0x06}));
    EXPECT_FALSE(Out(0x81, 257, 1, {0x03, 0, 0, 0}));
}

TEST_F(Qv4820ModelTest, ReleasingThePortEndsAnOpenTransaction) {
    EnterIsp();
    Out(0x80, 0, 1, {0x06});
    Out(0x80, 0, 0, {0x02, 0x00, 0x02, 0x00});
    Write(7, 0x00);  // the port is taken away before the data
    Write(7, 0x10);
    Out(0x80, 0, 1, {0x00});
    EXPECT_EQ(chip.Flash().Contents()[0x200], 0xFF);
    EXPECT_EQ(FlashStatus(), 0x02);  // not executed: not busy, latch still set
}

TEST_F(Qv4820ModelTest, ParameterCommandCompletesAfterItsDelay) {
    Write(0, 0);
    for (std::uint8_t i = 0; i < 4; ++i) Write(0x93 + i, std::uint8_t('1' + i));
    Write(0x91, 0x0A);
    Write(0x92, 0);
    Write(0x90, 0x10);
    clock.SleepMicros(14'999);
    EXPECT_EQ(Read(0x90), 0x10);
    clock.SleepMicros(1);
    EXPECT_EQ(Read(0x90), 0xEE);
    EXPECT_EQ(chip.Parameters().ProductId(), (ParameterStore::Id{'1', '2', '3', '4'}));

    Write(0x91, 0x0C);  // no such item: never answered
    Write(0x90, 0x10);
    clock.SleepMicros(1'000'000);
    EXPECT_EQ(Read(0x90), 0x10);
}

TEST_F(Qv4820ModelTest, WithoutEepromOnlyTheSettingsAreKept) {
    chip.Parameters().SetEepromPresent(false);
    Write(0, 0);
    Write(0x93, 'x');
    Write(0x91, 0x08);
    Write(0x90, 0x10);
    clock.SleepMicros(15'000);
    EXPECT_EQ(Read(0x90), 0xEE);
    EXPECT_EQ(chip.Parameters().VendorId()[0], 0xFF);
}

TEST_F(Qv4820ModelTest, HidKeyCommandAnswersAndIsLogged) {
    Write(0, 0);
    Write(0x91, 0x01);
    Write(0x90, 0x30);
    EXPECT_EQ(Read(0x90), 0x30);
    clock.SleepMicros(5'000);
    EXPECT_EQ(Read(0x90), 0x31);
    EXPECT_EQ(chip.HidKeys(), (std::vector<std::uint8_t>{0x01}));
}

}  // namespace
}  // namespace qv::sim

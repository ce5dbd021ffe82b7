// The virtual chip refuses what the chip refuses: for each host mistake, the right sequence
// gets what it asked for and the wrong one does not.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "sim/Qv4820Model.h"

namespace qv::sim {
namespace {

constexpr std::uint64_t kLatencyMicros = 125;

// A host that talks to the chip directly, each request taking one transfer's latency.
struct Host {
    VirtualClock clock;
    Qv4820Model chip{clock};

    bool Send(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t index,
              std::vector<std::uint8_t>& data) {
        clock.SleepMicros(kLatencyMicros);
        const ControlSetup setup{type, request, value, index,
                                 static_cast<std::uint32_t>(data.size())};
        return chip.HandleRequest(setup, data.data());
    }
    bool Out(std::uint8_t request, std::uint16_t value, std::uint16_t index,
             std::vector<std::uint8_t> data = {}) {
        return Send(0x43, request, value, index, data);
    }
    void Write(std::uint8_t reg, std::uint8_t value) { Out(0x90, 0, reg, {value}); }
    std::uint8_t Read(std::uint8_t reg) {
        std::vector<std::uint8_t> byte{0};
        Send(0xC3, 0x91, 0, reg, byte);
        return byte[0];
    }
    void Sleep(std::uint64_t ms) { clock.SleepMicros(ms * 1000); }

    // One I2C byte as the chip's master takes it; `poll` waits for "done" (up to 20 reads).
    bool SendI2cByte(std::uint8_t byte, bool operationFirst = true, bool poll = true) {
        if (operationFirst) Write(20, 1);
        Write(18, byte);
        for (int i = 0; poll && i < 20 && (Read(16) & 0x01) == 0; ++i) {
        }
        return (Read(16) & 0x08) == 0;
    }
    // Writes `value` to register 5 of the slave at 0x20; true when the slave has it.
    bool I2cWrite(std::uint8_t value, std::uint8_t bank = 14, bool operationEachByte = true,
                  bool poll = true) {
        Write(0, 14);
        Write(17, 4);
        Write(0, bank);
        Write(16, 0xC0);
        const bool acked = SendI2cByte(0x20, true, poll);
        SendI2cByte(0x05, operationEachByte, poll);
        SendI2cByte(value, operationEachByte, poll);
        Write(16, 0xA0);
        return acked && chip.DefaultSlave().Register(0x05) == value;
    }

    void EnterIsp() {
        Out(0x84, 0x6B2E, 0x1C94);
        Write(0, 13);
        Write(7, 0x10);
        Write(1, 0x03);
    }
    // Reads 64 flash bytes at 0; true when they are the flash's.
    bool ReadFlash(bool pollReady) {
        chip.Flash().Preload(0, std::vector<std::uint8_t>(64, 0x3C));
        EnterIsp();
        Out(0x81, 64, 1, {0x03, 0, 0, 0});
        std::vector<std::uint8_t> ready{0};
        for (int i = 0; pollReady && i < 100; ++i) {
            if (Send(0xC3, 0x83, 0, 0, ready) && ready[0] != 0) break;
            Sleep(1);
        }
        std::vector<std::uint8_t> data(64);
        return Send(0xC3, 0x82, 0, 0, data) && data == std::vector<std::uint8_t>(64, 0x3C);
    }

    // Writes the product id "abcd" through the mailbox; true when the EEPROM has it.
    bool WriteProductId(bool dataFirst, bool waitForAnswer = true) {
        Write(0, 0);
        const auto data = [&] {
            for (std::uint8_t i = 0; i < 4; ++i) Write(0x93 + i, std::uint8_t('a' + i));
        };
        if (dataFirst) data();
        Write(0x91, 0x0A);
        Write(0x92, 0);
        Write(0x90, 0x10);
        if (!dataFirst) data();
        bool answered = false;
        for (int i = 0; waitForAnswer && i < 20 && !answered; ++i) {
            Sleep(10);
            answered = Read(0x90) == 0xEE;
        }
        return answered && chip.Parameters().ProductId() == ParameterStore::Id{'a', 'b', 'c', 'd'};
    }
    // Reads the settings record back; true when the mailbox answered with it.
    bool ReadSettings(bool wait) {
        Write(0, 0);
        Write(0x91, 0x21);
        Write(0x92, 0);
        Write(0x90, 0x10);
        if (wait) Sleep(20);
        return Read(0x90) == 0xEE && Read(0x93) == 0xA1;
    }
};

struct StrictnessCase {
    const char* mistake;
    std::function<bool(Host&)> right;
    std::function<bool(Host&)> wrong;
};

const StrictnessCase kCases[] = {
    {"I2C transaction with bank 0 selected instead of 14", [](Host& h) { return h.I2cWrite(0xA5); },
     [](Host& h) { return h.I2cWrite(0xA5, 0); }},
    {"I2C transaction with bank 13 selected", [](Host& h) { return h.I2cWrite(0xA5); },
     [](Host& h) { return h.I2cWrite(0xA5, 13); }},
    {"transmit operation written once per transaction", [](Host& h) { return h.I2cWrite(0x5A); },
     [](Host& h) { return h.I2cWrite(0x5A, 14, false); }},
    {"acknowledge read without waiting for done on a slow bus",
     [](Host& h) {
         h.chip.SetI2cClockHz(10'000);
         return h.I2cWrite(0x11);
     },
     [](Host& h) {
         h.chip.SetI2cClockHz(10'000);
         return h.I2cWrite(0x11, 14, true, false);
     }},
    {"flash fetch without waiting for ready on a slow port",
     [](Host& h) {
         h.chip.SetSpiClockHz(500'000);
         return h.ReadFlash(true);
     },
     [](Host& h) {
         h.chip.SetSpiClockHz(500'000);
         return h.ReadFlash(false);
     }},
    {"mailbox data written after the command", [](Host& h) { return h.WriteProductId(true); },
     [](Host& h) { return h.WriteProductId(false); }},
    {"mailbox answer read at once", [](Host& h) { return h.ReadSettings(true); },
     [](Host& h) { return h.ReadSettings(false); }},
    {"status registers written by the host",
     [](Host& h) {
         h.chip.SetStatusRegisters(0x04, 0x00, 0x01);
         h.Write(0, 0);
         return h.Read(0xA4) == 0x04 && h.Read(0xA6) == 0x01;
     },
     [](Host& h) {
         h.Write(0, 0);
         h.Write(0xA4, 0x04);
         h.Write(0xA6, 0x01);
         return h.Read(0xA4) == 0x04 && h.Read(0xA6) == 0x01;
     }},
    {"parameter access on a bare chip", [](Host& h) { return h.WriteProductId(true); },
     [](Host& h) {
         h.chip.SetFirmwareRunning(false);
         return h.WriteProductId(true);
     }},
    {"HID key on a bare chip",
     [](Host& h) {
         h.Write(0, 0);
         h.Write(0x91, 0x10);
         h.Write(0x90, 0x30);
         h.Sleep(10);
         return h.Read(0x90) == 0x31;
     },
     [](Host& h) {
         h.chip.SetFirmwareRunning(false);
         h.Write(0, 0);
         h.Write(0x91, 0x10);
         h.Write(0x90, 0x30);
         h.Sleep(100);
         return h.Read(0x90) == 0x31;
     }},
};

TEST(Strictness, EachHostMistakeFailsWhereTheRightSequenceWorks) {
    for (const StrictnessCase& c : kCases) {
        Host right, wrong;
        EXPECT_TRUE(c.right(right)) << c.mistake;
        EXPECT_FALSE(c.wrong(wrong)) << c.mistake;
    }
}

TEST(Strictness, PortAndMasterTakeTimeInProportionToTheBytes) {
    Host h;
    h.chip.SetSpiClockHz(1'000'000);  // 8 us a byte
    h.EnterIsp();
    h.Out(0x81, 200, 1, {0x03, 0, 0, 0});  // 204 bytes: 1632 us
    std::vector<std::uint8_t> ready{0};
    int polls = 0;
    while (h.Send(0xC3, 0x83, 0, 0, ready) && ready[0] == 0) ++polls;
    EXPECT_EQ(polls, 1632 / kLatencyMicros);

    // The next transfer waits for the port: a write behind a long read takes longer.
    h.Out(0x81, 200, 1, {0x03, 0, 0, 0});
    const std::uint64_t before = h.clock.NowMicros();
    h.Out(0x80, 0, 1, {0x06});
    EXPECT_EQ(h.clock.NowMicros() - before, 1632u);
}

}  // namespace
}  // namespace qv::sim

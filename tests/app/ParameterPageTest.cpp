#include <QRadioButton>

#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

// One mailbox write as it reached the chip: selector, index and the data bytes.
struct ParamWrite {
    int selector = 0;
    int index = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const ParamWrite&) const = default;
};

class ParameterPage : public ServicePageTest {
  protected:
    std::vector<ParamWrite> ParamWrites() const {
        std::vector<ParamWrite> writes;
        ParamWrite next;
        for (const auto& record : bus.Log()) {
            if (!record.setup || record.setup->request != 0x90) continue;
            const int reg = record.setup->index;
            const std::uint8_t value = record.data.at(0);
            if (reg >= 0x93 && reg <= 0x9A) next.data.push_back(value);
            if (reg == 0x91) next.selector = value;
            if (reg == 0x92) next.index = value;
            if (reg == 0x90 && value != 0) {
                writes.push_back(next);
                next = {};
            }
        }
        return writes;
    }
    static std::vector<std::uint8_t> Bytes(const std::string& text) {
        return {text.begin(), text.end()};
    }
    bool Checked(const char* name) { return Control<QAbstractButton>(name)->isChecked(); }
};

TEST_F(ParameterPage, StringsGoOutInChunksOfEightWithTheirCountFirst) {
    auto* edit = Control<QLineEdit>("lbledSysStr1");
    const std::string eleven = "Quorvex-inc";
    Enter(edit, QString::fromStdString(eleven));
    std::vector<std::uint8_t> chunk0{0x0B};
    chunk0.insert(chunk0.end(), eleven.begin(), eleven.begin() + 7);
    EXPECT_EQ(ParamWrites(),
              (std::vector<ParamWrite>{{0x10, 0, chunk0}, {0x10, 1, Bytes("-inc")}}));
    const auto& stored = chip->Parameters().String(0);
    EXPECT_EQ(stored[0], 11);
    EXPECT_TRUE(std::equal(eleven.begin(), eleven.end(), stored.begin() + 1));

    const std::string thirtyOne = "0123456789abcdefghijklmnopqrstu";
    const std::pair<std::string, std::size_t> cases[] = {{"", 1}, {"seven77", 1}, {thirtyOne, 4}};
    for (const auto& [text, chunks] : cases) {
        bus.ClearLog();
        const std::uint64_t before = clock.NowMicros();
        Enter(Control<QLineEdit>("lbledSysStr3"), QString::fromStdString(text));
        const std::vector<ParamWrite> writes = ParamWrites();
        ASSERT_EQ(writes.size(), chunks) << text;
        EXPECT_EQ(writes.back().index, static_cast<int>(chunks - 1));
        for (const ParamWrite& write : writes) {
            EXPECT_EQ(write.selector, 0x18);
            EXPECT_EQ(write.data.size(), text.empty() ? 1u : 8u) << text;
        }
        EXPECT_GE(clock.NowMicros() - before, chunks * 50'000) << text;
        const auto& block = chip->Parameters().String(2);
        EXPECT_EQ(block[0], text.size());
        EXPECT_TRUE(std::equal(text.begin(), text.end(), block.begin() + 1)) << text;
    }
}

TEST_F(ParameterPage, IdsAreSentAsFourCharactersPaddedWithZeros) {
    Enter(Control<QLineEdit>("lbledSysVID"), "a7d0");
    Enter(Control<QLineEdit>("lbledSysPID"), "601");
    EXPECT_EQ(ParamWrites(),
              (std::vector<ParamWrite>{{0x08, 0, Bytes("a7d0")}, {0x0A, 0, {'6', '0', '1', 0}}}));
    EXPECT_EQ(chip->Parameters().VendorId(), (sim::ParameterStore::Id{'a', '7', 'd', '0'}));
}

TEST_F(ParameterPage, TextsThatDoNotFitAreRefusedWithAMessageAndNothingIsSent) {
    Enter(Control<QLineEdit>("lbledSysVID"), "a7d01");
    Enter(Control<QLineEdit>("lbledSysStr2"), QString(32, QLatin1Char('x')));
    Enter(Control<QLineEdit>("lbledSysStr2"), QString::fromUtf8("Bridge \u0100"));
    EXPECT_EQ(dialogs.errors.size(), 3u);
    for (const QString& message : dialogs.errors) {
        EXPECT_TRUE(message.contains("Nothing was sent")) << message.toStdString();
    }
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(ParameterPage, CharactersBeyondAsciiAreSentInWindows1252) {
    Enter(Control<QLineEdit>("lbledSysStr1"), QString::fromUtf8("Caf\u00e9 \u20ac\u2122"));
    const auto& block = chip->Parameters().String(0);
    const std::vector<std::uint8_t> expected{7, 'C', 'a', 'f', 0xE9, ' ', 0x80, 0x99};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), block.begin()));
}

TEST_F(ParameterPage, SetAndReadBackRoundTripTheSettingsThroughTheDevice) {
    unit.SystemSettings = {0x30, 0xE0, 0x00, 0x00};
    Control<QPushButton>("btnSetPara")->click();
    unit.SystemSettings = {0xA1, 0x00, 0x00, 0x00};
    Control<QPushButton>("btnReadPara")->click();
    // The device adds its EEPROM flag; the refresh leaves the record as read.
    EXPECT_EQ(unit.SystemSettings, (std::array<std::uint8_t, 4>{0x30, 0xE0, 0x00, 0x80}));
    EXPECT_EQ(Control<QLabel>("lblEepAvail")->text(), "EEPROM Exist");
    for (const char* on : {"rbnMCLKOutFreq3", "rbnI2Slen1", "rbnSPDIFlen1", "rbnI2SFormat0",
                           "rbnDSDOut1", "chkMCLKOutOff", "chkI2SOutOff", "chkSPDIFOutOff"}) {
        EXPECT_TRUE(Checked(on)) << on;
    }
    EXPECT_FALSE(Checked("chkI2SLRSwap"));
    EXPECT_FALSE(Checked("chkDSDLRSwap"));

    // The setting controls change only their own bits.
    Control<QAbstractButton>("rbnMCLKOutFreq2")->click();
    Control<QAbstractButton>("rbnI2SFormat1")->click();
    Control<QAbstractButton>("chkDSDLRSwap")->click();
    Control<QAbstractButton>("chkI2SOutOff")->click();
    EXPECT_EQ(unit.SystemSettings, (std::array<std::uint8_t, 4>{0x68, 0xA0, 0x00, 0x80}));
    Control<QPushButton>("btnSetPara")->click();
    EXPECT_EQ(chip->Parameters().ReportedSettings(),
              (sim::ParameterStore::Settings{0x68, 0xA0, 0x00, 0x80}));
}

TEST_F(ParameterPage, AReadBackThatFailsHalfWayKeepsTheRecord) {
    const std::array<std::uint8_t, 4> before = unit.SystemSettings;
    // Bank select, selector, index, command, two polls, then the data reads: the second fails.
    bus.SetTransferFaults(device, {.failTransfer = 8});
    Control<QPushButton>("btnReadPara")->click();
    EXPECT_EQ(unit.SystemSettings, before);
    EXPECT_EQ(Control<QLabel>("lblEepAvail")->text(), "EEPROM not Available");
}

}  // namespace
}  // namespace qv::test

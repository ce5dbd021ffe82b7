// Before the erase the update makes sure a flash answers and that its protection came off: a
// port with no flash behind it, one that never answers, and a flash whose status register
// holds its protect bits all end the update with nothing erased and the flash as it was.

#include "flash/UpdateSequences.h"
#include "tests/flash/FlashFixture.h"

namespace qv {
namespace {

struct PreEraseCase {
    const char* name;
    std::function<void(sim::Qv4820Model&)> fault;
    const char* shown;  // the step text the update ends with
    FlashStep step;
    const char* reason;  // the reported reason's text
    std::size_t idReads;
};

constexpr const char* kNoFlash = "no flash answered; nothing was changed";

class PreErase : public FlashFixture, public ::testing::WithParamInterface<PreEraseCase> {};

TEST_P(PreErase, StopsTheUpdateBeforeAnythingIsErased) {
    const PreEraseCase& c = GetParam();
    const std::vector<std::uint8_t> old(0x3000, 0x5A);
    chip->Flash().Preload(0, old);
    LoadRandomImage(0x1000);
    c.fault(*chip);

    EXPECT_NE(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(reporter.LastStep(), c.shown);
    ASSERT_EQ(reporter.failures.size(), 1u);
    EXPECT_EQ(reporter.failures[0].first, c.step);
    EXPECT_EQ(reporter.failures[0].second.Text(), c.reason);
    EXPECT_TRUE(FlashInstructions(0xC7).empty());
    EXPECT_TRUE(FlashInstructions(0x20).empty());
    EXPECT_TRUE(ProgramDataLengths().empty());
    EXPECT_EQ(FlashBytes(0, 0x3000), old);
    EXPECT_EQ(FlashInstructions(0x9F).size(), c.idReads);
    EXPECT_FALSE(chip->IspModeOn());  // the closing steps ran
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PreErase,
    ::testing::Values(
        PreEraseCase{"DataLineLow", [](sim::Qv4820Model& c) { c.SetNoFlash(0x00); }, kNoFlash,
                     FlashStep::kReadId, "the id reads 00 00 00", 1},
        PreEraseCase{"DataLineHigh", [](sim::Qv4820Model& c) { c.SetNoFlash(0xFF); }, kNoFlash,
                     FlashStep::kReadId, "the id reads FF FF FF", 1},
        PreEraseCase{"PortNeverReady", [](sim::Qv4820Model& c) { c.SetSpiPortStuck(true); },
                     kNoFlash, FlashStep::kReadId, "the id could not be read", 2},
        PreEraseCase{"WriteProtectPinHeld", [](sim::Qv4820Model& c) { c.Flash().HoldProtection(); },
                     "the flash is write-protected (status 0x9C; write-protect pin held?)",
                     FlashStep::kWriteStatus,
                     "its protect bits stayed set when the status register was cleared", 1}),
    [](const auto& info) { return std::string(info.param.name); });

class IdRead : public FlashFixture {};

// One failed id read is read again; the update then goes on as usual.
TEST_F(IdRead, ThatFailsOnceIsReadAgain) {
    LoadRandomImage(0x800);
    ASSERT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);
    // The fetch of the id in that run, counted as the bus counts vendor requests.
    std::int64_t number = 0;
    std::int64_t idFetch = 0;
    bool idStarted = false;
    for (const auto& record : bus.Log()) {
        if (!record.setup) continue;
        ++number;
        if (record.setup->request == 0x81)
            idStarted = record.data == std::vector<std::uint8_t>{0x9F};
        if (record.setup->request == 0x82 && idStarted && idFetch == 0) idFetch = number;
    }
    ASSERT_GT(idFetch, 0);
    bus.ClearLog();
    bus.SetTransferFaults(device, {.failTransfer = idFetch});

    EXPECT_EQ(RunFirmwareUpdate(target, run), SequenceOutcome::kSuccess);

    EXPECT_EQ(reporter.LastStep(), "Firmware update success!");
    EXPECT_EQ(FlashInstructions(0x9F).size(), 2u);
    EXPECT_EQ(FlashBytes(0, 0x800), ImageBytes(0x800));
}

}  // namespace
}  // namespace qv

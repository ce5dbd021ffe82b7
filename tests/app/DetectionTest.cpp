#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QtTest/QTest>

#include "app/Colors.h"
#include "catalog/Products.h"
#include "sim/Qv4820Model.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

class Detection : public FormTest {
  protected:
    QString Detected() { return Control<QLabel>("lblDetectDevice")->text(); }
    QString FileStatus() { return Control<QLabel>("lblUpdaeFileStatus")->text(); }
    bool StartEnabled() { return Control<QAbstractButton>("btnSimpleAuto")->isEnabled(); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) form->Timer1Timer();
    }
    std::shared_ptr<sim::Qv4820Model> chip = std::make_shared<sim::Qv4820Model>(clock);
};

// Candidate k (1-based) while nothing is found: odd ticks catalogue rows 1, 2, 3, 4, 0, ...;
// even ticks the bare-chip ids a7d6, 0c5e, a7d6, ...
TEST_F(Detection, ScansCandidatesInOrderAndSpeedsUpAfterTheFirstBareChipId) {
    for (int tick = 1; tick <= 20; ++tick) {
        form->Timer1Timer();
        const bool catalogueTick = tick % 2 == 1;
        ASSERT_EQ(unit.usb.InPropertyMode(), catalogueTick) << "tick " << tick;
        const std::string expected = catalogueTick
                                         ? DeviceCatalog[((tick + 1) / 2) % 5].deviceId
                                         : ((tick / 2) % 2 == 1 ? kIspIdA7d6 : kIspId0c5e);
        EXPECT_EQ(unit.usb.IdText(), expected) << "tick " << tick;
        EXPECT_EQ(form->Timer1->interval(), tick == 1 ? 1000 : 100) << "tick " << tick;
        EXPECT_EQ(Detected(), "No device is available");
        EXPECT_EQ(FileStatus(), "The firmware file is chosen when a product is found");
        EXPECT_FALSE(StartEnabled());
        // Once every candidate was tried, the panel says what to check (on Windows, whether the
        // driver is installed first).
        const QLabel* hint = Control<QLabel>("lblISPProcStatus");
        const QString said = hint->toolTip().isEmpty() ? hint->text() : hint->toolTip();
        EXPECT_EQ(said.startsWith("No product found. ") &&
                      said.contains("plug the product in", Qt::CaseInsensitive),
                  tick >= 10)
            << "tick " << tick << ": " << said.toStdString();
    }
    EXPECT_EQ(PresenceColor(), ButtonFaceColor());
}

TEST_F(Detection, ProductWithoutFirmwareFileIsShownAndTheFileRetried) {
    ScopedWorkDir dir;
    bus.AttachProduct("vid_a7d6&pid_f017", chip);
    form->Timer1Timer();
    EXPECT_EQ(Detected(), "Find Device Tesmora K2 DAC");
    EXPECT_EQ(FileStatus(), "No Updated File !");
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(PresenceColor(), ButtonFaceColor());
    EXPECT_FALSE(unit.firmwareFileReady);

    // The file appears: the next (tracking) tick loads it.
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), SmallHexFile());
    form->Timer1Timer();
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_EQ(Detected(), "Find Device Tesmora K2 DAC");
    EXPECT_EQ(FileStatus(), "Update Hex file   Tesmora_K2DAC_v11.hex    is Ready!");
    EXPECT_EQ(PresenceColor(), kColorLime);
    EXPECT_TRUE(StartEnabled());
    EXPECT_TRUE(unit.firmwareFileReady);
}

TEST_F(Detection, TrackedProductIsReCheckedAndLossIsShownOnTheNextTick) {
    ScopedWorkDir dir;
    WriteFile(dir.File("Tesmora_DAC7LX_v11.hex"), SmallHexFile());
    const sim::DeviceId device = bus.AttachProduct("vid_a7d6&pid_f018", chip);
    Ticks(3);  // row 1, a7d6, row 2
    EXPECT_EQ(Detected(), "Find Device Tesmora DAC-7LX");
    EXPECT_EQ(PresenceColor(), kColorLime);
    EXPECT_TRUE(StartEnabled());

    const std::size_t transfersBefore = bus.Log().size();
    form->Timer1Timer();  // tracking: presence only, the file is not read again
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_TRUE(unit.usb.IsPresent());
    EXPECT_EQ(bus.Log().size(), transfersBefore);

    bus.Detach(device);
    form->Timer1Timer();
    EXPECT_EQ(Detected(), "No device is available");
    EXPECT_EQ(PresenceColor(), ButtonFaceColor());
    EXPECT_FALSE(StartEnabled());

    form->Timer1Timer();  // scanning resumes after the product: the next bare-chip id
    EXPECT_FALSE(unit.usb.InPropertyMode());
    EXPECT_STREQ(unit.usb.IdText(), kIspId0c5e);
    EXPECT_EQ(FileStatus(), "The firmware file is chosen when a product is found");
    EXPECT_FALSE(unit.firmwareFileReady);
}

TEST_F(Detection, BareChipsAreNamedByTheirIdAndEnableNothing) {
    ScopedWorkDir dir;
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), SmallHexFile());
    bus.AttachBareChip(kIspId0c5e, chip);
    Ticks(4);
    EXPECT_EQ(Detected(), "Firmware update device 0C5E is exist");
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(PresenceColor(), ButtonFaceColor());
}

TEST(DetectionOfBareChip, A7d6IsFoundOnTheSecondTick) {
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    UnitState unit{bus};
    ScriptedDialogs dialogs;
    TForm1 form(unit, dialogs, FormOptions{96});
    form.Timer1->stop();
    bus.AttachBareChip(kIspIdA7d6, std::make_shared<sim::Qv4820Model>(clock));
    form.Timer1Timer();
    form.Timer1Timer();
    EXPECT_EQ(form.findChild<QLabel*>("lblDetectDevice")->text(),
              "Firmware update device A7D6 is exist");
    EXPECT_TRUE(unit.usb.IsPresent());
}

TEST_F(Detection, CatalogueRowFourIsShownWithRowThreesName) {
    bus.AttachProduct("vid_a7d6&pid_6013", chip);
    Ticks(7);
    EXPECT_EQ(unit.catalogIndex, 4);
    EXPECT_EQ(Detected(), "Find Device Quorvex-inc 6012");
}

TEST_F(Detection, OffAndHeldStatesLeaveTheLinkAlone) {
    bus.AttachProduct("vid_a7d6&pid_f017", chip);
    unit.autoSequenceRunning = true;
    Ticks(3);
    EXPECT_FALSE(unit.usb.IsPresent());
    EXPECT_STREQ(unit.usb.IdText(), kIspId0c5e);
    unit.autoSequenceRunning = false;

    form->Timer1Timer();
    ASSERT_TRUE(unit.usb.IsPresent());
    unit.usb.Open();
    unit.updateFinished = true;
    const std::size_t transfersBefore = bus.Log().size();
    Ticks(3);  // Off: the handle is closed, nothing is scanned
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_TRUE(unit.usb.IsPresent());
    EXPECT_EQ(bus.Log().size(), transfersBefore);
}

TEST_F(Detection, UncheckingDetectDeviceStopsPollingAndGreysThePanel) {
    bus.AttachProduct("vid_a7d6&pid_f017", chip);
    form->Timer1Timer();
    ASSERT_TRUE(unit.usb.IsPresent());

    auto* detect = Control<QAbstractButton>("chkDetectUSB");
    detect->setChecked(false);
    EXPECT_FALSE(unit.detectEnabled);
    EXPECT_FALSE(unit.usb.IsPresent());
    EXPECT_EQ(PresenceColor(), kColorGrey);
    EXPECT_TRUE(Control<QLineEdit>("lbledtVID")->isEnabled());
    Ticks(2);
    EXPECT_EQ(PresenceColor(), kColorGrey);
    EXPECT_STREQ(unit.usb.IdText(), "vid_a7d6&pid_f017");

    Control<QLineEdit>("lbledtVID")->setText("beef");
    detect->setChecked(true);
    EXPECT_TRUE(unit.detectEnabled);
    EXPECT_EQ(unit.selectedVid, "beef");
    EXPECT_FALSE(Control<QLineEdit>("lbledtPID")->isEnabled());
}

TEST_F(Detection, EnterInTheIdEditsTakesTheirTextAndOtherKeysDoNothing) {
    auto* vid = Control<QLineEdit>("lbledtVID");
    auto* pid = Control<QLineEdit>("lbledtPID");
    vid->setText("1234");
    pid->setText("abcd");
    form->lbledtVIDPIDKeyDown(vid, 'A');
    form->lbledtVIDPIDKeyDown(pid, 0x2E);
    EXPECT_EQ(unit.selectedVid, "a7d6");
    EXPECT_EQ(unit.selectedPid, "f800");

    // Through the key route: the key event arrives as virtual-key code 13.
    vid->setEnabled(true);
    QTest::keyClick(vid, Qt::Key_Return);
    EXPECT_EQ(unit.selectedVid, "1234");
    EXPECT_EQ(unit.selectedPid, "f800");
    form->lbledtVIDPIDKeyDown(pid, 13);
    EXPECT_EQ(unit.selectedPid, "abcd");
}

}  // namespace
}  // namespace qv::test

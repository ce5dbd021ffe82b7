#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>
#include <algorithm>
#include <functional>

#include "app/Colors.h"
#include "image/DefaultImage.h"
#include "tests/app/FlashFormFixture.h"

namespace qv::test {
namespace {

const QString kUpdateWarning = QStringLiteral(
    "Firmware Update is a critical operation. Please make sure the power stays on and do not "
    "disconnect the device before the update is complete. Would you like to proceed?");
const QString kStopQuestion = QStringLiteral(
    "Stop the update? The product will be left without firmware until it is updated again.");
const QString kKeeps = QStringLiteral("The firmware is unchanged");
const QString kNoFirmware = QStringLiteral("No working firmware is left");

QColor TextColor(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

class StartButton : public FlashFormTest {
  protected:
    // The product is found by detection with its firmware file beside the tool.
    void FindProductWithFile() {
        WriteFile(dir.File(kProductFile), FirmwareHexFile());
        device = bus.AttachProduct(kProductId, chip);
        form->Timer1Timer();
        ASSERT_TRUE(Control<QAbstractButton>("btnSimpleAuto")->isEnabled());
        chip->Flash().Preload(0, std::vector<std::uint8_t>(0x2000, 0x00));  // old firmware
        bus.ClearLog();
    }
    QLabel* Status() { return Control<QLabel>("lblISPProcStatus"); }
    // The status words whole: shortened to fit, they are whole in the tooltip (under Wine the
    // offscreen screens have no fonts, so whether they fit is checked on Linux only).
    QString Words() {
        return Status()->toolTip().isEmpty() ? Status()->text() : Status()->toolTip();
    }

    ScopedWorkDir dir;
};

TEST_F(StartButton, UpdatesTheFlashToTheImageAndRunsOnlyOnce) {
    FindProductWithFile();
    const std::uint32_t length = unit.firmwareImage.length;
    ASSERT_EQ(length, 0x1003u);
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");

    ASSERT_EQ(dialogs.warnings, std::vector<QString>{kUpdateWarning});
    EXPECT_EQ(Status()->text(), "Firmware update success!");
    EXPECT_EQ(Status()->font().pointSize(), 16);
    EXPECT_EQ(TextColor(Status()), QColor(Qt::blue));
    EXPECT_EQ(FlashBytes(0, length), ImageBytes(length));
    EXPECT_EQ(FlashBytes(length, 0x2000 - length),
              std::vector<std::uint8_t>(0x2000 - length, 0xFF));
    EXPECT_EQ(chip->Flash().Status(), 0xFC);  // 0xFF written: every protect bit, idle
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    auto* start = Control<QAbstractButton>("btnSimpleAuto");
    EXPECT_EQ(start->text(), "Finish");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(unit.updateFinished);
    EXPECT_FALSE(unit.autoSequenceRunning);

    // A press after the end asks nothing and sends nothing.
    bus.ClearLog();
    form->btnSimpleAutoClick(start);
    EXPECT_EQ(dialogs.warnings.size(), 1u);
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(StartButton, CancelShowsTheAbortAndTouchesNothing) {
    FindProductWithFile();
    dialogs.warningAnswers = {false};
    Click("btnSimpleAuto");

    EXPECT_EQ(Status()->text(), "Abort Firmware update process");
    EXPECT_EQ(Status()->font().pointSize(), 16);
    EXPECT_EQ(TextColor(Status()), QColor(Qt::red));
    EXPECT_TRUE(bus.Log().empty());
    EXPECT_EQ(FlashBytes(0, 0x2000), std::vector<std::uint8_t>(0x2000, 0x00));
    auto* start = Control<QAbstractButton>("btnSimpleAuto");
    EXPECT_EQ(start->text(), "Start");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(unit.updateFinished);
    EXPECT_FALSE(unit.autoSequenceRunning);
}

// Another product's catalogue file, loaded on the ISP page, is what Start would write: the
// question names both products before anything is sent.
TEST_F(StartButton, AnotherProductsFileIsNamedInTheQuestion) {
    FindProductWithFile();
    WriteFile(dir.File("Tesmora_Pavo_v11.hex"), FirmwareHexFile());
    unit.firmwareImage.path = dir.File("Tesmora_Pavo_v11.hex").toStdString();
    Page<IspPage>().ReadProgramFile();
    ASSERT_TRUE(unit.programFileReady);
    dialogs.warningAnswers = {false};
    Click("btnSimpleAuto");

    ASSERT_EQ(dialogs.warnings.size(), 1u);
    EXPECT_EQ(dialogs.warnings[0],
              "Tesmora_Pavo_v11.hex is the catalogue firmware of Tesmora Pavo, "
              "not of Tesmora K2 DAC.\n\n" +
                  kUpdateWarning);
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(StartButton, UnplugMidRunSaysTheDeviceWasDisconnectedAndHowToGoOn) {
    FindProductWithFile();
    bus.SetTransferFaults(device, {.unplugAfter = 300});
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");

    EXPECT_EQ(Words(), "Update failed: the device was disconnected. " + kNoFirmware +
                           ": plug it in and press Start.");
    EXPECT_EQ(Caption("btnSimpleAuto"), "Start");
    EXPECT_FALSE(unit.updateFinished);
    EXPECT_EQ(unit.lastUpdate, SequenceOutcome::kFailed);
    EXPECT_FALSE(unit.autoSequenceRunning);
}

// Presses let in by the message pump must not start other work or move the link under a
// running update; only its own button, now "Stop", stays usable.
TEST_F(StartButton, PressesDuringTheRunChangeNothing) {
    FindProductWithFile();
    const std::string idText = unit.usb.IdText();
    bool checked = false;
    AtPump([] { return true; },
           [&] {
               checked = true;
               EXPECT_TRUE(unit.autoSequenceRunning);
               EXPECT_EQ(Caption("btnSimpleAuto"), "Stop");
               EXPECT_TRUE(Control<QWidget>("btnSimpleAuto")->isEnabled());
               for (const char* name : {"btnUSBISPAuto", "btnUSBErase", "USBLoadFileBitBtn",
                                        "chkDetectUSB", "btnSaveBin", "Button1"}) {
                   EXPECT_FALSE(Control<QWidget>(name)->isEnabled()) << name;
               }
               Page<IspPage>().btnUSBISPAutoClick(nullptr);
               unit.usb.ClearPresence();  // a tick now would scan for another device
               form->Timer1Timer();
           });
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");

    ASSERT_TRUE(checked);
    EXPECT_EQ(dialogs.warnings.size(), 1u);
    EXPECT_EQ(unit.usb.IdText(), idText);
    EXPECT_TRUE(unit.usb.InPropertyMode());
    EXPECT_EQ(Status()->text(), "Firmware update success!");
    EXPECT_FALSE(unit.autoSequenceRunning);
    EXPECT_TRUE(Control<QWidget>("btnUSBISPAuto")->isEnabled());
    EXPECT_EQ(Caption("btnSimpleAuto"), "Finish");
}

struct FailedUpdate {
    const char* name;
    std::function<void(sim::Qv4820Model&)> fault;
    const char* failure;  // the failing step's own text
    bool flashTouched;    // the erase had begun
};

class StartButtonFailure : public StartButton,
                           public ::testing::WithParamInterface<FailedUpdate> {};

// The status says in red which step failed, what the product now holds and what to do, and
// keeps saying it while the device comes and goes; "Start" offers the update again whenever the
// product is there, and a new run can succeed.
TEST_P(StartButtonFailure, SaysWhatTheProductHoldsAndOffersTheUpdateAgain) {
    FindProductWithFile();
    GetParam().fault(*chip);
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");

    const QString expected = QStringLiteral("Update failed: ") + GetParam().failure +
                             QStringLiteral(". ") +
                             (GetParam().flashTouched ? kNoFirmware : kKeeps) +
                             QStringLiteral(": press Start to retry.");
    EXPECT_EQ(Words(), expected);
    EXPECT_EQ(TextColor(Status()), QColor(Qt::red));
    EXPECT_EQ(Caption("btnSimpleAuto"), "Start");
    EXPECT_TRUE(Control<QWidget>("btnSimpleAuto")->isEnabled());
    EXPECT_EQ(PresenceColor(), kColorLime);

    bus.Detach(device);
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_NE(PresenceColor(), kColorLime);
    EXPECT_FALSE(Text("lblUpdaeFileStatus").contains("is Ready!"));
    EXPECT_FALSE(Control<QWidget>("btnSimpleAuto")->isEnabled());
    EXPECT_EQ(Words(), expected);

    chip = std::make_shared<sim::Qv4820Model>(clock, sim::FlashPreset::kCommon2MiB);  // mended
    device = bus.AttachProduct(kProductId, chip);
    for (int tick = 0; tick < 10 && !Control<QWidget>("btnSimpleAuto")->isEnabled(); ++tick) {
        form->Timer1Timer();
    }
    EXPECT_EQ(Words(), expected);
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");
    EXPECT_EQ(Status()->text(), "Firmware update success!");
    EXPECT_EQ(Caption("btnSimpleAuto"), "Finish");
    EXPECT_EQ(unit.lastUpdate, SequenceOutcome::kSuccess);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StartButtonFailure,
    ::testing::Values(
        FailedUpdate{"IspRefused", [](sim::Qv4820Model& c) { c.SetIspEntryRefused(true); },
                     "Enter ISP Mode Fail", false},
        FailedUpdate{"EraseNeverEnds", [](sim::Qv4820Model& c) { c.SetFlashStuckBusy(true); },
                     "Erase Flash Fail", true},
        FailedUpdate{"BitStuckLow", [](sim::Qv4820Model& c) { c.SetFlashFlippedBits(0x234, 0x01); },
                     "Blanking Fail at 0x000234", true},
        FailedUpdate{"NoFlashAnswers", [](sim::Qv4820Model& c) { c.SetNoFlash(0x00); },
                     "no flash answered; nothing was changed", false},
        FailedUpdate{"WriteProtected", [](sim::Qv4820Model& c) { c.Flash().HoldProtection(); },
                     "the flash is write-protected (status 0x9C; write-protect pin held?)", false}),
    [](const ::testing::TestParamInfo<FailedUpdate>& info) {
        return std::string(info.param.name);
    });

struct UpdateWithBehaviour {
    const char* name;
    std::function<void(sim::Qv4820Model&)> behaviour;
    const char* warning;  // what the status's tooltip says; empty when nothing
};

class StartButtonBehaviour : public StartButton,
                             public ::testing::WithParamInterface<UpdateWithBehaviour> {};

// Chips and flash parts that answer the closing steps otherwise: the image is in the flash, so
// the panel says so; a warning waits in the tooltip for a technician.
TEST_P(StartButtonBehaviour, AVerifiedImageIsASuccessWhateverTheClosingStepsFound) {
    FindProductWithFile();
    GetParam().behaviour(*chip);
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");

    EXPECT_EQ(Status()->text(), "Firmware update success!");
    EXPECT_EQ(TextColor(Status()), QColor(Qt::blue));
    const QString warning = QString::fromUtf8(GetParam().warning);
    EXPECT_EQ(Status()->toolTip().isEmpty(), warning.isEmpty())
        << Status()->toolTip().toStdString();
    EXPECT_TRUE(Status()->toolTip().contains(warning)) << Status()->toolTip().toStdString();
    const std::uint32_t length = unit.firmwareImage.length;
    EXPECT_EQ(FlashBytes(0, length), ImageBytes(length));
    EXPECT_EQ(Caption("btnSimpleAuto"), "Finish");
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Behaviours, StartButtonBehaviour,
    ::testing::Values(
        UpdateWithBehaviour{"Usual", [](sim::Qv4820Model&) {}, ""},
        UpdateWithBehaviour{"RestartsOnLeavingIsp",
                            [](sim::Qv4820Model& c) { c.SetRestartOnIspLeave(true); }, ""},
        UpdateWithBehaviour{"StatusRegisterIgnoresWrites",
                            [](sim::Qv4820Model& c) { c.Flash().SetStatusLocked(true); },
                            "Warning: protect: the status register reads 0x00 after 0xFF was "
                            "written"}),
    [](const ::testing::TestParamInfo<UpdateWithBehaviour>& info) {
        return std::string(info.param.name);
    });

// How a technician asks a running update to stop, and how they answer the question.
struct StopRequest {
    const char* name;
    bool byClosing;  // closing the window rather than pressing "Stop"
    bool confirmed;  // OK in the question box
};

class StartButtonStop : public StartButton, public ::testing::WithParamInterface<StopRequest> {};

// The question names what stopping does, and "Continue the update" is its default answer.
// Stopping ends the update after the running step (the erase): nothing is programmed, the flash
// is still protected and ISP mode left, and the panel says the product now has no working
// firmware and offers "Start" again; closing then happens once that is done. Continuing lets the
// update go on and the window stay.
TEST_P(StartButtonStop, EndsAfterTheRunningStepWithTheClosingStepsOrGoesOn) {
    const StopRequest& request = GetParam();
    FindProductWithFile();
    form->show();
    auto* start = Control<QAbstractButton>("btnSimpleAuto");
    AtPump([&] { return Status()->text().startsWith("Flash Erase All"); },
           [&] {
               if (request.byClosing) {
                   EXPECT_FALSE(form->close());  // not while the flash is half written
               } else {
                   start->click();
               }
               EXPECT_EQ(start->isEnabled(), !request.confirmed);  // one stop is enough
           });
    dialogs.warningAnswers = {true};
    dialogs.stopAnswers = {request.confirmed};
    start->click();
    QCoreApplication::processEvents();

    ASSERT_EQ(dialogs.warnings, std::vector<QString>{kUpdateWarning});
    ASSERT_EQ(dialogs.stopQuestions, std::vector<QString>{kStopQuestion});
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(chip->Flash().Status(), 0xFC);  // protected
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_EQ(form->isVisible(), !(request.byClosing && request.confirmed));
    if (!request.confirmed) {
        EXPECT_EQ(Status()->text(), "Firmware update success!");
        EXPECT_EQ(Caption("btnSimpleAuto"), "Finish");
        return;
    }
    EXPECT_EQ(Words(), "Update stopped. " + kNoFirmware + ": press Start to update again.");
    EXPECT_EQ(TextColor(Status()), QColor(Qt::red));
    EXPECT_EQ(Caption("btnSimpleAuto"), "Start");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(unit.lastUpdate, SequenceOutcome::kStopped);
    EXPECT_EQ(InstructionCount(kFlashOpPageProgram), 0u);
    // After the erase only its last status polls, the protecting status write and the leave.
    const std::vector<Sent> sent = Requests();
    const auto erase = std::find_if(sent.begin(), sent.end(), [](const Sent& s) {
        return s.request == kRequestFlashWrite && s.data.at(0) == kFlashOpChipErase;
    });
    ASSERT_NE(erase, sent.end());
    std::vector<std::uint8_t> after;
    for (auto s = erase + 1; s != sent.end(); ++s) {
        if (s->request == kRequestIspLeave) after.push_back(s->request);
        if (s->request == kRequestFlashWrite && !s->data.empty()) after.push_back(s->data[0]);
        if (s->request == kRequestFlashReadStart && s->data[0] != kFlashOpReadStatus) {
            after.push_back(s->data[0]);  // a blank check or verify read
        }
    }
    EXPECT_EQ(after, (std::vector<std::uint8_t>{kFlashOpWriteEnable, kFlashOpWriteStatus,
                                                kRequestIspLeave}));
}

// A stop before the erase leaves the flash as it was, and the panel says the product keeps it.
TEST_F(StartButton, StopBeforeTheEraseSaysTheProductKeepsItsFirmware) {
    FindProductWithFile();
    AtPump([&] { return Status()->text() == "Enter ISP Mode"; }, [&] { Click("btnSimpleAuto"); });
    dialogs.warningAnswers = {true};
    dialogs.stopAnswers = {true};
    Click("btnSimpleAuto");

    EXPECT_EQ(Words(), "Update stopped. " + kKeeps + ": press Start to update again.");
    EXPECT_EQ(FlashBytes(0, 0x2000), std::vector<std::uint8_t>(0x2000, 0x00));
}

INSTANTIATE_TEST_SUITE_P(Requests, StartButtonStop,
                         ::testing::Values(StopRequest{"StopConfirmed", false, true},
                                           StopRequest{"StopDeclined", false, false},
                                           StopRequest{"CloseConfirmed", true, true},
                                           StopRequest{"CloseDeclined", true, false}),
                         [](const ::testing::TestParamInfo<StopRequest>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(StartButton, HasTheFocusOnceReadyAndEnterPressesIt) {
    FindProductWithFile();
    auto* start = Control<QPushButton>("btnSimpleAuto");
    ASSERT_EQ(form->focusWidget(), start);
    dialogs.warningAnswers = {true};
    QTest::keyClick(start, Qt::Key_Return);

    EXPECT_EQ(dialogs.warnings.size(), 1u);
    EXPECT_EQ(Status()->text(), "Firmware update success!");
}

// What the panel names is what "Start" writes, whichever button last changed the image, and
// verify compares with exactly that.
struct ImageChange {
    const char* name;
    const char* button;
    // Prepares the button's file, if it needs one; gives the bytes of the image it makes.
    std::function<std::vector<std::uint8_t>(const ScopedWorkDir&, ScriptedDialogs&)> prepare;
    const char* named;
};

class StartButtonImage : public StartButton, public ::testing::WithParamInterface<ImageChange> {};

TEST_P(StartButtonImage, WritesTheImageThePanelNames) {
    FindProductWithFile();
    const std::vector<std::uint8_t> expected = GetParam().prepare(dir, dialogs);
    Click(GetParam().button);
    EXPECT_EQ(Text("lblUpdaeFileStatus"), GetParam().named);
    dialogs.warningAnswers = {true};
    Click("btnSimpleAuto");

    EXPECT_EQ(Status()->text(), "Firmware update success!");
    const auto length = static_cast<std::uint32_t>(expected.size());
    EXPECT_EQ(FlashBytes(0, length), expected);
    EXPECT_EQ(FlashBytes(length, 0x100), std::vector<std::uint8_t>(0x100, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, StartButtonImage,
    ::testing::Values(
        // A shorter file must not cut the default image off.
        ImageChange{"DefaultImage", "Button1",
                    [](const ScopedWorkDir&, ScriptedDialogs&) {
                        const auto& block = DefaultImage();
                        return std::vector<std::uint8_t>(block.begin(), block.end());
                    },
                    "Update image   built-in default image    is Ready!"},
        ImageChange{"CurrentFile", "CurrentFileBitBtn",
                    [](const ScopedWorkDir& dir, ScriptedDialogs& dialogs) {
                        const std::vector<std::uint8_t> bytes(0x900, 0x3C);
                        WriteFile(dir.File("other.bin"), std::string(bytes.begin(), bytes.end()));
                        dialogs.fileAnswers.push_back(dir.File("other.bin"));
                        return bytes;
                    },
                    "Update Bin file   other.bin    is Ready!"}),
    [](const ::testing::TestParamInfo<ImageChange>& info) { return std::string(info.param.name); });

class AutoButton : public FlashFormTest {
  protected:
    void SetUp() override {
        AttachProduct();
        WriteFile(dir.File("image.hex"), FirmwareHexFile());
        Control<QComboBox>("cbxReadISPFile")->setEditText(dir.File("image.hex"));
    }

    ScopedWorkDir dir;
};

TEST_F(AutoButton, StopEndsTheRunAfterTheCurrentStep) {
    chip->Flash().Preload(0, std::vector<std::uint8_t>(0x2000, 0x00));
    Control<QAbstractButton>("chkProtect")->setChecked(true);
    auto* button = Control<QAbstractButton>("btnUSBISPAuto");
    AtPump([&] { return Text("lblUSBProcessInfo").startsWith("Flash Erase All"); },
           [&] {
               EXPECT_EQ(button->text(), "Stop");
               button->click();
               EXPECT_FALSE(button->isEnabled());  // one stop is enough
           });
    button->click();

    EXPECT_TRUE(unit.flashRun.stopRequested);
    EXPECT_EQ(Text("lblUSBProcessInfo"), "Stopped by user");
    EXPECT_EQ(InstructionCount(kFlashOpPageProgram), 0u);  // nothing after the erase
    EXPECT_EQ(FlashBytes(0, 0x2000), std::vector<std::uint8_t>(0x2000, 0xFF));
    EXPECT_EQ(chip->Flash().Status(), 0xFC);
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_EQ(button->text(), "Auto");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(unit.autoSequenceRunning);
}

// "Auto" leaves ISP mode even when "Enter ISP" had entered it: the button then offers to enter
// it again, and the single operations still reach the flash, entering ISP mode for themselves.
TEST_F(AutoButton, RunsAgainAndLeavesTheSingleOperationsWorking) {
    Click("btnEnterISP");
    ASSERT_EQ(Caption("btnEnterISP"), "Exit ISP");
    for (int run = 0; run < 2; ++run) {
        Click("btnUSBISPAuto");
        EXPECT_EQ(Text("lblUSBProcessInfo"), "Verifying Success") << "run " << run;
        EXPECT_EQ(Caption("btnEnterISP"), "Enter ISP");
        EXPECT_FALSE(chip->IspModeOn());
    }
    EXPECT_EQ(FlashBytes(0, 0x1003), ImageBytes(0x1003));

    Click("btnUSBErase");
    EXPECT_EQ(FlashBytes(0, 0x1003), std::vector<std::uint8_t>(0x1003, 0xFF));
    Click("btnUSBChipID");
    EXPECT_EQ(Text("lblUSBChipID"), "0xEF,  0x40,  0x15,  ");
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(Caption("btnEnterISP"), "Enter ISP");
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

// With no file named there is nothing to reload: the run writes the image already held.
TEST_F(AutoButton, WithAnEmptyFileBoxWritesTheImageHeld) {
    Click("btnUSBISPAuto");
    ASSERT_TRUE(unit.programFileReady);
    chip->Flash().Preload(0, std::vector<std::uint8_t>(0x2000, 0x00));
    Control<QComboBox>("cbxReadISPFile")->setEditText(QString());

    Click("btnUSBISPAuto");

    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(Text("lblUSBProcessInfo"), "Verifying Success");
    EXPECT_EQ(FlashBytes(0, 0x1003), ImageBytes(0x1003));
}

TEST_F(AutoButton, RefusalsComeBeforeAnyDeviceCommand) {
    // A file that does not load: nothing is sent, and the image keeps what it held.
    const std::vector<std::uint8_t> before = ImageBytes(0x100);
    Control<QComboBox>("cbxReadISPFile")->setEditText(dir.File("missing.hex"));
    Click("btnUSBISPAuto");
    EXPECT_EQ(Text("lblUSBProcessInfo"), "Program file not loaded");
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(ImageBytes(0x100), before);

    // A range edit that is not a number.
    Control<QComboBox>("cbxReadISPFile")->setEditText(dir.File("image.hex"));
    Control<QRadioButton>("rbnRange1")->setChecked(true);
    Control<QLineEdit>("lbledISPStart")->setText("4k");
    Click("btnUSBISPAuto");
    ASSERT_FALSE(dialogs.errors.empty());
    EXPECT_EQ(dialogs.errors.back(), "'4k' is not a valid integer value");

    EXPECT_TRUE(bus.Log().empty());
    EXPECT_EQ(Caption("btnUSBISPAuto"), "Auto");
    EXPECT_FALSE(unit.autoSequenceRunning);

    // No device at all.
    bus.Detach(device);
    unit.usb.ClearPresence();
    Click("btnUSBISPAuto");
    EXPECT_EQ(dialogs.messages.back(), "USB device is NOT available !!    ");
}

}  // namespace
}  // namespace qv::test

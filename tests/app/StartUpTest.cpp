#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>

#include "app/Colors.h"
#include "image/DefaultImage.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

using StartUp = FormTest;

QString Text(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* box = qobject_cast<QGroupBox*>(control)) return box->title();
    return QStringLiteral("<no text>");
}

TEST_F(StartUp, EveryNamedControlCarriesItsStartText) {
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"btnSimpleAuto", "Start"},
        {"chkDetectUSB", "Detect Device"},
        {"lblDetectDevice", "No device is available"},
        {"lblUpdaeFileStatus", "No Updated File !"},
        {"lblISPProcStatus", ""},
        {"btnReadAll", "Read Bank"},
        {"lblRegAddr", "Reg 0x00"},
        {"lblRegData", "= 0x00"},
        {"Label1", "7 6 5 4 3 2 1 0"},
        {"btnReadMI2C", "Read"},
        {"edtMI2CAddr", "20"},
        {"Label6", "Slave Address: 0x"},
        {"Label15", "(enter)"},
        {"lblMI2CRegAddr", "Reg 0x00"},
        {"lblMI2CRegData", "= 0x00"},
        {"Label3", "7 6 5 4 3 2 1 0"},
        {"GroupBox1", "Function Test"},
        {"gbxISPRange", "Flash Access Range"},
        {"gbxFlashCMD", "Flash Instruction"},
        {"btnEnterISP", "Enter ISP"},
        {"btnUSBChipID", "Chip ID"},
        {"btnUSBReadStatus", "Read Status"},
        {"lbledtUSBWriteStatusLabel", "Write Status : 0x"},
        {"btnUSBWriteEnable", "Write Enable"},
        {"btnUSBWriteDisable", "Write Disable"},
        {"btnUSBErase", "Erase"},
        {"btnUSBBlank", "Blank Check"},
        {"btnUSBProgram", "Program"},
        {"btnUSBVerify", "Verify"},
        {"btnReadBack", "Read Flash"},
        {"Button1", " Save"},
        {"rbnRange0", "All"},
        {"rbnRange1", "Assign Range"},
        {"lbledISPStartLabel", "Start Addr:"},
        {"lbledISPRangeLabel", "Size: "},
        {"Label20", "KB"},
        {"Label21", "KB"},
        {"lbledIspCmdRDID", "9F"},
        {"lbledIspCmdWREN", "06"},
        {"lbledIspCmdWRDS", "04"},
        {"lbledIspCmdRDSD", "05"},
        {"lbledIspCmdWRSD", "01"},
        {"lbledIspCmdERAL", "C7"},
        {"lbledIspCmdPP", "02"},
        {"lbledIspCmdRead", "03"},
        {"lbledIspCmdWRSDLabel", "Write Status: "},
        {"chkReadFile", "Reload File"},
        {"chkISPMode", "ISP Mode"},
        {"chkErase", "Erase"},
        {"chkBlank", "Blank"},
        {"chkProgram", "Program"},
        {"chkVerify", "Verify"},
        {"chkProtect", "Flash Protect"},
        {"btnUSBISPAuto", "Auto"},
        {"USBLoadFileBitBtn", "File"},
        {"lblUSBProcessInfo", "Status:"},
        {"lblUSBISPProcess", "Process Addr: 0x000000"},
        {"lblUSBISPStatusReg", "Status Register: 0x00"},
        {"lblUSBChipID", "0x00"},
        {"lblUSBStatus", "0x00"},
        {"btnReadPara", "Read back"},
        {"btnSetPara", "Set"},
        {"Label8", "System General Setting"},
        {"Label2", "Prodcut Information String (Max. 31 character)"},
        {"lbledSysVID", "a7d0"},
        {"lbledSysPID", "6012"},
        {"lbledSysStr1", "Quorvex-inc"},
        {"lbledSysStr2", "Quorvex-inc UAC2 22"},
        {"lbledSysStr3", "QVUA170203"},
        {"lbledSysStr1Note", "(Manufacturer)"},
        {"rbnI2Slen0", "32 bit"},
        {"rbnSPDIFlen1", "24 bit"},
        {"rbnMCLKOutFreq3", "1024 Fs"},
        {"rbnI2SFormat1", "Left Justify"},
        {"rbnDSDOut1", "DoP"},
        {"chkI2SLRSwap", "I2S Output Channel Swap"},
        {"chkMCLKOutOff", "MCLK Output Off"},
        {"lblConnect", "USB connected"},
        {"lblMute", "Unmute"},
        {"lblCurrentFormat0", "Input Format:"},
        {"lblCurrentFormat1", "PCM"},
        {"lblCurrentFreq0", "Input Freq:  "},
        {"lblCurrentFreq1", "176.4KHz"},
        {"btnUpdateStatus", "Update"},
        {"btnHID0", "HID Prev"},
        {"btnHID1", "HID Vol -"},
        {"btnHID2", "HID Play"},
        {"btnHID3", "HID Vol +"},
        {"btnHID4", "HID Next"},
        {"GroupBox7", "Special I2C access"},
        {"edtMI2CAddr1", "60"},
        {"lbllencmd", "1"},
        {"lbllendat", "1"},
        {"Add", "Command"},
        {"Label22", "Data"},
        {"btnWriteSpecI2C", "Write"},
        {"btnReadSpecI2C", "Read"},
        {"Label13", "Modify User parameter and save to new Binary File"},
        {"CurrentFileBitBtn", "Current File"},
        {"lblCurrentFilePath", "..."},
        {"btnCheck", "Check"},
        {"lblStatusReport", ""},
        {"lblSaveDone", ""},
        {"GroupBox9", "User information New Setting "},
        {"labedtNewVID", "A7D6"},
        {"labedtNewPID", "6012"},
        {"edtNewStr0", "Quorvex-inc"},
        {"edtNewStr1", "Quorvex-inc UAC22"},
        {"edtNewStr2", "QVUA170405"},
        {"edtNewStr3", "Primary Play Interface"},
        {"edtNewStr4", "Record Interface"},
        {"btnSaveBitBin", "New File"},
        {"lblSaveBinPath", "..."},
        {"btnSaveBin", " Save"},
    };
    for (const auto& [name, text] : expected) {
        EXPECT_EQ(Text(Control<QWidget>(name)), QString::fromUtf8(text)) << name;
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Text(Control<QWidget>(qPrintable(QStringLiteral("edtI2Ccmd%1").arg(i)))), "00");
        EXPECT_EQ(Control<QWidget>(qPrintable(QStringLiteral("edtI2Cdat%1").arg(i)))->isEnabled(),
                  i == 0);
    }
    for (const char* name : {"btnCheck", "GroupBox9", "btnSaveBitBin", "btnSaveBin",
                             "btnSimpleAuto", "lbledtVID", "lbledtPID"}) {
        EXPECT_FALSE(Control<QWidget>(name)->isEnabled()) << name;
    }
    for (const char* name : {"srblen0", "srblen1"}) {
        auto* bar = Control<QScrollBar>(name);
        EXPECT_EQ(bar->orientation(), Qt::Horizontal);
        EXPECT_EQ(bar->minimum(), 1);
        EXPECT_EQ(bar->maximum(), 5);
        EXPECT_EQ(bar->value(), 1);
    }
    EXPECT_TRUE(Control<QComboBox>("cbxReadISPFile")->isEditable());
    EXPECT_EQ(Control<QLineEdit>("edtNewStr3")->toolTip(), "Manu");
}

TEST_F(StartUp, WindowShowsOnlyTheUpdatePanel) {
    EXPECT_EQ(form->windowTitle(), "Tesmora firmware update Tool V1.00");
    auto* pages = Control<QTabWidget>("MainPageControl");
    EXPECT_TRUE(pages->isHidden());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->isTabVisible(i), pages->widget(i)->objectName() == "PageISPCtrl") << i;
    }
    QStringList titles;
    for (int i = 0; i < pages->count(); ++i) titles << pages->tabText(i);
    EXPECT_EQ(titles, QStringList({"Register", "I2C Access", "ISP", "Parameter", "Information",
                                   "Gen. Bin File"}));
    for (const char* name :
         {"gbxISPRange", "chkISPMode", "chkProtect", "chkReadFile", "chkErase", "chkBlank",
          "chkProgram", "chkVerify", "GroupBox1", "USBLoadFileBitBtn", "cbxReadISPFile",
          "chkDetectUSB", "lbledtVID", "lbledtPID"}) {
        EXPECT_TRUE(Control<QWidget>(name)->isHidden()) << name;
    }
    EXPECT_FALSE(Control<QWidget>("gbxFlashCMD")->isHidden());
    EXPECT_EQ(Control<QWidget>("pnlUSBExist")->pos(), QPoint(20, 8));
    EXPECT_EQ(Control<QWidget>("pnlUSB")->height(), 120);
    EXPECT_EQ(PresenceColor(), ButtonFaceColor());
    EXPECT_EQ(form->Timer1->interval(), 1000);
}

TEST_F(StartUp, TimerStartsAtTheDefaultInterval) {
    TForm1 running(unit, dialogs, FormOptions{96});
    EXPECT_TRUE(running.Timer1->isActive());
    EXPECT_EQ(running.Timer1->interval(), 1000);
    EXPECT_TRUE(unit.detectEnabled);
    EXPECT_FALSE(unit.autoSequenceRunning);
}

TEST_F(StartUp, LargeFontsLayoutStartsAt120Dpi) {
    CreateForm(119);
    EXPECT_EQ(form->size(), QSize(606, 200));
    EXPECT_EQ(Control<QWidget>("MainPageControl")->height(), 100);
    CreateForm(120);
    EXPECT_EQ(form->size(), QSize(746, 340));
    EXPECT_EQ(Control<QWidget>("MainPageControl")->height(), 240);
}

TEST_F(StartUp, GridsHaveHeaderCellsAndNoBuiltInHeaders) {
    for (const char* name : {"RegStringGrid1", "StringGridMIIC"}) {
        auto* grid = Control<QTableWidget>(name);
        ASSERT_EQ(grid->rowCount(), 17);
        ASSERT_EQ(grid->columnCount(), 17);
        EXPECT_FALSE(grid->horizontalHeader()->isVisible());
        EXPECT_EQ(grid->item(0, 1)->text(), "00");
        EXPECT_EQ(grid->item(0, 11)->text(), "0A");
        EXPECT_EQ(grid->item(0, 16)->text(), "0F");
        EXPECT_EQ(grid->item(1, 0)->text(), "00");
        EXPECT_EQ(grid->item(11, 0)->text(), "A0");
        EXPECT_EQ(grid->item(16, 0)->text(), "F0");
        EXPECT_FALSE(grid->item(0, 5)->flags() & Qt::ItemIsEditable);
        EXPECT_TRUE(grid->item(5, 5)->flags() & Qt::ItemIsEditable);
        EXPECT_EQ(grid->currentRow(), 1);
        EXPECT_EQ(grid->currentColumn(), 1);
    }
}

TEST_F(StartUp, UnitStateHoldsItsTablesAndDefaults) {
    EXPECT_EQ(unit.selectedVid, "a7d6");
    EXPECT_EQ(unit.selectedPid, "f800");
    EXPECT_EQ(Control<QLineEdit>("lbledtVID")->text(), "a7d6");
    EXPECT_EQ(Control<QLineEdit>("lbledtPID")->text(), "f800");
    EXPECT_EQ(unit.freqTexts[1][8], " DSD  64");
    EXPECT_EQ(unit.freqTexts[0][12], QString(8, ' '));
    EXPECT_EQ(unit.freqTexts[0][4], "176.4KHz");
    for (const auto& row : unit.freqTexts) {
        for (const QString& text : row) EXPECT_EQ(text.size(), 8);
    }
    EXPECT_EQ(unit.connectTexts[1], "USB Disconnected");
    EXPECT_EQ(unit.muteTexts[1], "Mute");
    EXPECT_EQ(unit.formatTexts[1], "DSD");
    EXPECT_EQ(unit.i2cSlaveAddress, 0x20);
    EXPECT_STREQ(unit.usb.IdText(), "vid_0c5e&pid_6000");
    EXPECT_FALSE(unit.usb.InPropertyMode());
    EXPECT_FALSE(unit.programFileReady);
    EXPECT_TRUE(unit.firmwareImage.path.empty());
}

// The image to program is the whole default image until a file replaces it; the modify image
// holds nothing loaded yet.
TEST_F(StartUp, BothImagesBeginWithTheDefaultImage) {
    const auto& block = DefaultImage();
    for (const ImageBuffer* image : {static_cast<const ImageBuffer*>(&unit.firmwareImage),
                                     static_cast<const ImageBuffer*>(&unit.modifyImage)}) {
        EXPECT_TRUE(std::equal(block.begin(), block.end(), image->data.begin()));
        EXPECT_TRUE(std::all_of(image->data.begin() + kDefaultImageSize, image->data.end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
    }
    EXPECT_EQ(unit.firmwareImage.length, kDefaultImageSize);
    EXPECT_EQ(unit.modifyImage.length, 0u);
}

TEST_F(StartUp, ParameterPageShowsTheStartSettings) {
    EXPECT_EQ(Control<QLabel>("lblEepAvail")->text(), "EEPROM not Available");
    for (const char* name :
         {"rbnDSDOut0", "rbnI2Slen0", "rbnSPDIFlen1", "rbnMCLKOutFreq2", "rbnI2SFormat0"}) {
        EXPECT_TRUE(Control<QRadioButton>(name)->isChecked()) << name;
    }
    for (const char* name : {"rbnMCLKOutFreq0", "chkI2SLRSwap", "chkDSDLRSwap", "chkMCLKOutOff",
                             "chkI2SOutOff", "chkSPDIFOutOff"}) {
        EXPECT_FALSE(Control<QAbstractButton>(name)->isChecked()) << name;
    }
}

TEST_F(StartUp, ParameterPageFollowsTheRecord) {
    unit.SystemSettings = {0x30, 0xE0, 0x00, 0x80};
    Page<ParameterPage>().UpdateParameterPage();
    EXPECT_EQ(Control<QLabel>("lblEepAvail")->text(), "EEPROM Exist");
    for (const char* name : {"rbnMCLKOutFreq3", "rbnI2Slen1", "rbnSPDIFlen1", "rbnI2SFormat0",
                             "rbnDSDOut1", "chkMCLKOutOff", "chkI2SOutOff", "chkSPDIFOutOff"}) {
        EXPECT_TRUE(Control<QAbstractButton>(name)->isChecked()) << name;
    }
    EXPECT_FALSE(Control<QAbstractButton>("chkI2SLRSwap")->isChecked());
}

TEST_F(StartUp, IspPageDefaultsAndRangeSelection) {
    for (const char* name : {"chkISPMode", "chkReadFile", "chkErase", "chkBlank", "chkProgram",
                             "chkVerify", "rbnRange0"}) {
        EXPECT_TRUE(Control<QAbstractButton>(name)->isChecked()) << name;
    }
    EXPECT_FALSE(Control<QAbstractButton>("chkProtect")->isChecked());
    auto* start = Control<QLineEdit>("lbledISPStart");
    auto* size = Control<QLineEdit>("lbledISPRange");
    EXPECT_EQ(start->text(), "64");
    EXPECT_EQ(size->text(), "64");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(Control<QLabel>("Label21")->isEnabled());
    EXPECT_EQ(unit.flashSelection.flashRangeStart, 0u);
    EXPECT_EQ(unit.flashSelection.flashRangeSize, 0x8000u);

    start->setText("32");
    size->setText("16");
    Control<QRadioButton>("rbnRange1")->setChecked(true);  // runs rbnRangeClick
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(Control<QLabel>("lbledISPStartLabel")->isEnabled());
    EXPECT_EQ(unit.flashSelection.flashRangeStart, 0x8000u);
    EXPECT_EQ(unit.flashSelection.flashRangeSize, 0x4000u);

    // Start and size are taken together: a bad size keeps the whole range as it was.
    start->setText("8");
    size->setText("1x");
    Page<IspPage>().rbnRangeClick(form.get());
    EXPECT_EQ(unit.flashSelection.flashRangeStart, 0x8000u);
    EXPECT_EQ(unit.flashSelection.flashRangeSize, 0x4000u);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'1x' is not a valid integer value");

    // A range past the 24-bit flash addresses is refused rather than wrapped.
    size->setText("16384");
    Page<IspPage>().rbnRangeClick(form.get());
    EXPECT_EQ(unit.flashSelection.flashRangeSize, 0x4000u);
    EXPECT_EQ(dialogs.errors.size(), 2u);

    Control<QRadioButton>("rbnRange0")->setChecked(true);
    EXPECT_EQ(unit.flashSelection.flashRangeStart, 0u);
    EXPECT_EQ(unit.flashSelection.flashRangeSize, 0x8000u);
    EXPECT_FALSE(start->isEnabled());
}

TEST_F(StartUp, ServiceModeShowsEverythingStartUpHid) {
    form->ShowServicePages();
    auto* pages = Control<QTabWidget>("MainPageControl");
    EXPECT_FALSE(pages->isHidden());
    for (int i = 0; i < pages->count(); ++i) EXPECT_TRUE(pages->isTabVisible(i)) << i;
    for (const char* name : {"gbxISPRange", "GroupBox1", "cbxReadISPFile", "chkDetectUSB",
                             "lbledtVID", "lbledtPID", "chkProtect"}) {
        EXPECT_FALSE(Control<QWidget>(name)->isHidden()) << name;
    }
    EXPECT_GT(form->height(), 600);
    // The presence panel goes back beside the detection controls instead of over them.
    EXPECT_GT(Control<QWidget>("pnlUSBExist")->x(),
              Control<QWidget>("lbledtVID")->geometry().right());
}

TEST_F(StartUp, ClosingWithoutADeviceTouchesNothing) {
    form->close();
    EXPECT_TRUE(bus.Log().empty());
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(StartUp, ClosingWithADeviceClosesTheLinkHandle) {
    bus.AttachProduct("vid_a7d6&pid_f017", std::make_shared<PlainChip>());
    form->Timer1Timer();
    ASSERT_TRUE(unit.usb.IsPresent());
    unit.usb.Open();
    ASSERT_EQ(bus.OpenHandleCount(), 1);
    form->close();
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace qv::test

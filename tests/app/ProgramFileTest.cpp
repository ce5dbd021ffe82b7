#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>

#include "app/Colors.h"
#include "image/DefaultImage.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

class ProgramFile : public FormTest {
  protected:
    QString FileStatus() { return Control<QLabel>("lblUpdaeFileStatus")->text(); }
    QString Checksum() { return Control<QLabel>("lblUSBChecksum")->text(); }
    // The label's whole text: a text too long for the label is shortened there and kept whole in
    // its tool tip.
    QString ChecksumInFull() {
        const QLabel* label = Control<QLabel>("lblUSBChecksum");
        return label->toolTip().isEmpty() ? label->text() : label->toolTip();
    }
    QComboBox* Recent() { return Control<QComboBox>("cbxReadISPFile"); }
    ScopedWorkDir dir;
};

TEST_F(ProgramFile, CatalogueFileIsLoadedFromTheCurrentDirectory) {
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), SmallHexFile());
    unit.catalogIndex = 1;
    Control<QAbstractButton>("USBLoadFileBitBtn")->click();
    EXPECT_EQ(FileStatus(), "Update Hex file   Tesmora_K2DAC_v11.hex    is Ready!");
    EXPECT_TRUE(Control<QAbstractButton>("btnSimpleAuto")->isEnabled());
    EXPECT_EQ(PresenceColor(), kColorLime);
    EXPECT_TRUE(unit.firmwareFileReady);
    EXPECT_TRUE(unit.programFileReady);
    // In the system's own separators, as the tool names the file.
    EXPECT_EQ(QDir::fromNativeSeparators(QString::fromStdString(unit.firmwareImage.path)),
              dir.File("Tesmora_K2DAC_v11.hex"));
    EXPECT_EQ(unit.firmwareImage.length, 4u);
    EXPECT_EQ(unit.firmwareImage.data[0], 0xDE);
    // The default image is gone: the load replaces all.
    EXPECT_TRUE(std::all_of(unit.firmwareImage.data.begin() + 4, unit.firmwareImage.data.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

// Beside the program first, then the current folder; a file in neither is named with both.
TEST_F(ProgramFile, CatalogueFileIsLookedForBesideTheProgramThenInTheCurrentFolder) {
    QTemporaryDir programDir;
    unit.programFolder = QDir::toNativeSeparators(programDir.path()).toLocal8Bit().toStdString();
    unit.catalogIndex = 1;
    const QString name = QStringLiteral("Tesmora_K2DAC_v11.hex");
    struct Case {
        bool besideProgram, inCurrentFolder;
        std::uint8_t firstByte;  // of the file loaded; 0 when none is
    };
    for (const Case c : {Case{true, true, 0xA1}, Case{false, true, 0xC1}, Case{false, false, 0}}) {
        QFile::remove(programDir.filePath(name));
        QFile::remove(dir.File(name));
        if (c.besideProgram)
            WriteFile(programDir.filePath(name), HexRecord(0, {0xA1}) + ":00000001FF\n");
        if (c.inCurrentFolder) WriteFile(dir.File(name), HexRecord(0, {0xC1}) + ":00000001FF\n");
        unit.firmwareFileReady = false;
        form->ReadProgramFile1();
        EXPECT_EQ(unit.firmwareFileReady, c.firstByte != 0);
        if (c.firstByte != 0) {
            EXPECT_EQ(unit.firmwareImage.data[0], c.firstByte);
            continue;
        }
        const QLabel* status = Control<QLabel>("lblISPProcStatus");
        EXPECT_EQ(status->toolTip().isEmpty() ? status->text() : status->toolTip(),
                  name + " is not in " + QDir::toNativeSeparators(programDir.path()) + " nor in " +
                      QDir::toNativeSeparators(QDir::currentPath()));
    }
}

TEST_F(ProgramFile, FirmwareBaseKeepsItsTrailingBlank) {
    WriteFile(dir.File("QV4820-6013 .hex"), SmallHexFile());
    unit.catalogIndex = 4;
    form->ReadProgramFile1();
    EXPECT_EQ(FileStatus(), "Update Hex file   QV4820-6013 .hex    is Ready!");
}

TEST_F(ProgramFile, MissingCatalogueFileLeavesEverythingAsItWas) {
    unit.catalogIndex = 2;
    form->ReadProgramFile1();
    EXPECT_EQ(FileStatus(), "No Updated File !");
    EXPECT_FALSE(unit.programFileReady);
    EXPECT_FALSE(unit.firmwareFileReady);
    EXPECT_FALSE(Control<QAbstractButton>("btnSimpleAuto")->isEnabled());
    EXPECT_EQ(unit.firmwareImage.data[0], DefaultImage()[0]);
    EXPECT_TRUE(unit.firmwareImage.path.empty());
}

TEST_F(ProgramFile, RefusedCatalogueFileIsNamedAndTheImageKept) {
    const std::vector<std::uint8_t> before(unit.firmwareImage.data.begin(),
                                           unit.firmwareImage.data.begin() + 64);
    const std::uint32_t lengthBefore = unit.firmwareImage.length;
    std::string broken = SmallHexFile();
    broken[9] = '0';  // damages the first data byte, so the record checksum no longer fits
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), broken);
    unit.catalogIndex = 1;
    form->ReadProgramFile1();
    // The reason in the panel's status line, as large as its other reasons.
    EXPECT_EQ(FileStatus(), "No Updated File !");
    const QLabel* status = Control<QLabel>("lblISPProcStatus");
    EXPECT_TRUE(status->text().startsWith("Cannot use Tesmora_K2DAC_v11.hex line 1: "))
        << status->text().toStdString();
    EXPECT_EQ(status->font().pointSize(), Control<QLabel>("lblDetectDevice")->font().pointSize());
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_FALSE(Control<QAbstractButton>("btnSimpleAuto")->isEnabled());
    EXPECT_FALSE(unit.firmwareFileReady);
    EXPECT_FALSE(unit.programFileReady);
    EXPECT_EQ(unit.firmwareImage.length, lengthBefore);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), unit.firmwareImage.data.begin()));
    EXPECT_EQ(PresenceColor(), ButtonFaceColor());

    // Mended on disk: the next attempt (the next tick) takes it.
    WriteFile(dir.File("Tesmora_K2DAC_v11.hex"), SmallHexFile());
    form->ReadProgramFile1();
    EXPECT_TRUE(unit.firmwareFileReady);
    EXPECT_EQ(status->text(), "");
}

TEST_F(ProgramFile, EmptyPathAsksForAProgramFile) {
    unit.programFileReady = true;
    Page<IspPage>().ReadProgramFile();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Program File Not Ready !!    ");
    EXPECT_FALSE(unit.programFileReady);
    EXPECT_EQ(Recent()->count(), 0);
}

TEST_F(ProgramFile, IspFileShowsItsChecksumAndIsRememberedOnce) {
    WriteFile(dir.File("flash.BIN"), std::string(1024, '\xFF'));
    unit.firmwareImage.path = dir.File("flash.BIN").toStdString();
    Page<IspPage>().ReadProgramFile();
    EXPECT_EQ(Checksum(), "Checksum : 0xFC00");
    EXPECT_TRUE(unit.programFileReady);
    EXPECT_EQ(unit.firmwareImage.length, 1024u);
    Page<IspPage>().ReadProgramFile();
    EXPECT_EQ(Recent()->count(), 1);

    WriteFile(dir.File("small.h00"), SmallHexFile());
    unit.firmwareImage.path = dir.File("small.h00").toStdString();
    Page<IspPage>().ReadProgramFile();
    EXPECT_EQ(Checksum(), "Checksum : 0x0338");
    EXPECT_EQ(Recent()->count(), 2);
    EXPECT_EQ(Recent()->currentText(), dir.File("small.h00"));

    // Same name in other letters: a second entry.
    unit.firmwareImage.path = dir.File("flash.bin").toStdString();
    Page<IspPage>().RememberProgramFile();
    EXPECT_EQ(Recent()->count(), 3);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ProgramFile, RefusedIspFileKeepsTheLoadedImageAndSaysWhy) {
    WriteFile(dir.File("good.hex"), SmallHexFile());
    unit.firmwareImage.path = dir.File("good.hex").toStdString();
    Page<IspPage>().ReadProgramFile();
    ASSERT_TRUE(unit.programFileReady);

    for (const QString& name : {QStringLiteral("missing.hex"), QStringLiteral("image.hx")}) {
        if (name == "image.hx") WriteFile(dir.File(name), SmallHexFile());
        unit.firmwareImage.path = dir.File(name).toStdString();
        dialogs.errors.clear();
        Page<IspPage>().ReadProgramFile();
        ASSERT_EQ(dialogs.errors.size(), 1u) << name.toStdString();
        EXPECT_TRUE(dialogs.errors[0].contains(name)) << dialogs.errors[0].toStdString();
        EXPECT_TRUE(ChecksumInFull().contains(name)) << ChecksumInFull().toStdString();
        EXPECT_EQ(unit.firmwareImage.length, 4u);
        EXPECT_EQ(unit.firmwareImage.data[0], 0xDE);
        EXPECT_TRUE(unit.programFileReady);  // the earlier image is still the one loaded
    }
}

}  // namespace
}  // namespace qv::test

#include <QAbstractButton>
#include <QLabel>
#include <algorithm>

#include "image/DefaultImage.h"
#include "image/ParameterTableScan.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

class BinFilePage : public FormTest {
  protected:
    QString Status() { return Control<QLabel>("lblStatusReport")->text(); }
    bool Enabled(const char* name) { return Control<QWidget>(name)->isEnabled(); }
    void Click(const char* name) { Control<QAbstractButton>(name)->click(); }
    // A binary file of `size` bytes counting up, with the table marker at `markerAt` if given.
    QString BinFile(const QString& name, std::size_t size, std::optional<std::size_t> markerAt) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
        if (markerAt) bytes.replace(*markerAt, 13, kUserParameterMarker);
        WriteFile(dir.File(name), bytes);
        return dir.File(name);
    }
    ScopedWorkDir dir;
};

TEST_F(BinFilePage, FileWithTheTableEnablesTheNewSettings) {
    dialogs.fileAnswers.push_back(BinFile("with.bin", 4096, 0));
    Click("CurrentFileBitBtn");
    ASSERT_EQ(dialogs.fileFilters.size(), 1u);
    EXPECT_EQ(dialogs.fileFilters[0], "Hex File|*.hex;*.h00|Binary File|*.bin / *.hex");
    EXPECT_EQ(Status(), "Load file ready");
    EXPECT_EQ(Control<QLabel>("lblCurrentFilePath")->text(), dir.File("with.bin"));
    EXPECT_TRUE(Enabled("GroupBox9"));
    EXPECT_TRUE(Enabled("btnSaveBitBin"));
    EXPECT_TRUE(Enabled("btnCheck"));
    EXPECT_EQ(unit.modifyImage.length, 4096u);
    EXPECT_EQ(unit.firmwareImage.length, 4096u);
    EXPECT_TRUE(unit.firmwareImage.path.empty());  // the ISP page's program file is not touched

    // A file without the table afterwards: reported, the enabled controls stay enabled.
    dialogs.fileAnswers.push_back(BinFile("without.bin", 2048, std::nullopt));
    Click("CurrentFileBitBtn");
    EXPECT_EQ(Status(), "Load file is invalid for modify");
    EXPECT_TRUE(Enabled("GroupBox9"));
    EXPECT_TRUE(Enabled("btnSaveBitBin"));
    EXPECT_EQ(unit.modifyImage.length, 2048u);
}

TEST_F(BinFilePage, CancelledDialogsChangeNothing) {
    dialogs.fileAnswers = {std::nullopt, std::nullopt};
    Click("CurrentFileBitBtn");
    Click("btnSaveBitBin");  // disabled: no dialog
    Page<qv::BinFilePage>().btnSaveBitBinClick(form.get());
    EXPECT_EQ(dialogs.fileFilters.size(), 2u);
    EXPECT_FALSE(Enabled("btnCheck"));
    EXPECT_FALSE(Enabled("btnSaveBin"));
    EXPECT_TRUE(unit.ModifyFileName.isEmpty());
    EXPECT_TRUE(unit.NewBinFileName.isEmpty());
    EXPECT_EQ(Control<QLabel>("lblSaveBinPath")->text(), "...");
}

TEST_F(BinFilePage, RefusedFileIsReportedAndBothImagesKept) {
    dialogs.fileAnswers.push_back(BinFile("with.bin", 4096, 100));
    Click("CurrentFileBitBtn");
    ASSERT_EQ(Status(), "Load file ready");

    WriteFile(dir.File("other.img"), "QVUSB_Table01");
    WriteFile(dir.File("broken.hex"), ":0400000001020304F0\n");  // checksum wrong
    for (const QString& name : {QStringLiteral("other.img"), QStringLiteral("broken.hex"),
                                QStringLiteral("absent.bin")}) {
        dialogs.fileAnswers.push_back(dir.File(name));
        Click("CurrentFileBitBtn");
        EXPECT_TRUE(Status().contains(name)) << Status().toStdString();
        EXPECT_EQ(unit.modifyImage.length, 4096u);
        EXPECT_EQ(unit.firmwareImage.length, 4096u);
        EXPECT_EQ(unit.modifyImage.data[5], 5);
    }
}

TEST_F(BinFilePage, CheckFindsTheTableOnlyInLoadedBytes) {
    Click("btnCheck");                                  // disabled at start
    Page<qv::BinFilePage>().btnCheckClick(form.get());  // length 0: nothing found, nothing shown
    EXPECT_FALSE(Enabled("GroupBox9"));
    EXPECT_EQ(Status(), "");

    // Marker cut after "QVUSB_Tab": not a table.
    std::string almost = "xxQVUSB_Tab";
    almost += "X0123456789";
    WriteFile(dir.File("almost.bin"), almost);
    dialogs.fileAnswers.push_back(dir.File("almost.bin"));
    Click("CurrentFileBitBtn");
    EXPECT_EQ(Status(), "Load file is invalid for modify");
    Click("btnCheck");
    EXPECT_FALSE(Enabled("GroupBox9"));

    // "QVUSB_Tabl" is enough.
    WriteFile(dir.File("enough.bin"), "xxQVUSB_TablZZZZ");
    dialogs.fileAnswers.push_back(dir.File("enough.bin"));
    Click("CurrentFileBitBtn");
    EXPECT_EQ(Status(), "Load file ready");
    Control<QLabel>("lblSaveDone")->setText("done");
    Click("btnCheck");
    EXPECT_EQ(Control<QLabel>("lblSaveDone")->text(), "");
    EXPECT_TRUE(Enabled("GroupBox9"));
}

TEST_F(BinFilePage, NewFileChoosesANameAndEnablesSave) {
    dialogs.fileAnswers.push_back(dir.File("new.bin"));
    Page<qv::BinFilePage>().btnSaveBitBinClick(form.get());
    EXPECT_EQ(dialogs.fileFilters.back(), "Binary File|*.bin / *.bin");
    EXPECT_EQ(unit.NewBinFileName, dir.File("new.bin"));
    EXPECT_EQ(Control<QLabel>("lblSaveBinPath")->text(), dir.File("new.bin"));
    EXPECT_TRUE(Enabled("btnSaveBin"));
    EXPECT_FALSE(QFile::exists(dir.File("new.bin")));
}

TEST_F(BinFilePage, SavePutsTheDefaultImageBackAndKeepsTheRest) {
    dialogs.fileAnswers.push_back(BinFile("big.bin", 40000, 33000));
    Click("CurrentFileBitBtn");
    ASSERT_EQ(unit.modifyImage.length, 40000u);
    ASSERT_NE(unit.firmwareImage.data[0], DefaultImage()[0]);

    Click("Button1");  // the ISP page's " Save" runs the same handler
    const auto& block = DefaultImage();
    for (const ImageBuffer* image : {static_cast<const ImageBuffer*>(&unit.firmwareImage),
                                     static_cast<const ImageBuffer*>(&unit.modifyImage)}) {
        EXPECT_TRUE(std::equal(block.begin(), block.end(), image->data.begin()));
        EXPECT_EQ(image->data[32768], 32768 % 251);
        EXPECT_EQ(image->data[39999], 39999 % 251);
        EXPECT_EQ(image->length, 40000u);
    }
}

}  // namespace
}  // namespace qv::test

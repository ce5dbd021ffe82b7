// Loading the firmware file the flash is programmed from. Loads are all or nothing: a file
// that cannot be opened or is refused leaves the image, its length and its path as they were,
// and says why.

#include <QFileInfo>

#include "app/Colors.h"
#include "app/Dialogs.h"
#include "app/FirmwareFileLoad.h"
#include "app/FittedText.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "catalog/FirmwareFiles.h"
#include "flash/UpdateSequences.h"
#include "text/HexFormat.h"
#include "ui_IspPage.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {

// What the panel calls a firmware file: by its extension, as the loaders choose.
QString FileKind(const QString& fileName) {
    return fileName.section(QLatin1Char('.'), -1).startsWith(QLatin1Char('b'), Qt::CaseInsensitive)
               ? QStringLiteral("Bin file")
               : QStringLiteral("Hex file");
}

}  // namespace

// Only while "Start" can write the image: until the product is found, the next catalogue load
// names its file, and after the update the panel keeps naming what was written.
void TForm1::ShowProgramImage(const QString& name, const QString& kind) {
    unit_.programImageName = name;
    if (!unit_.firmwareFileReady || unit_.updateFinished) return;
    ShowFitted(panel_->lblUpdaeFileStatus, QStringLiteral("Update ") + kind +
                                               QStringLiteral("   ") + name +
                                               QStringLiteral("    is Ready!"));
}

void TForm1::ShowProgramFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    ShowProgramImage(name, FileKind(name));
}

void TForm1::ReadProgramFile() {
    FirmwareImage& image = unit_.firmwareImage;
    if (image.path.empty()) {
        dialogs_.ShowMessage(QStringLiteral("Program File Not Ready !!    "));
        unit_.programFileReady = false;
        return;
    }
    RememberProgramFile();

    const LoadResult result = LoadFirmwareFile(image, image.path);
    if (!result.loaded) {
        const QString reason = QString::fromStdString(result.error);
        ShowFitted(ispPage_->lblUSBChecksum, reason);
        dialogs_.ShowError(QStringLiteral("Program file not loaded: ") + reason);
        return;
    }
    ShowFitted(ispPage_->lblUSBChecksum,
               QString::fromStdString("Checksum : 0x" + HexText(result.checksum, 4)));
    unit_.programFileReady = true;
    ShowProgramFile(QString::fromStdString(image.path));
}

void TForm1::RememberProgramFile() {
    QComboBox* files = ispPage_->cbxReadISPFile;
    const QString path = QString::fromStdString(unit_.firmwareImage.path);
    if (files->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) files->addItem(path);
    files->setEditText(path);
}

// The catalogue firmware file of the product detection found, in the current directory. While
// it is missing or refused, "Start" stays disabled and the next tick tries again.
void TForm1::ReadProgramFile1() {
    Ui::UpdatePanel& panel = *panel_;
    const QString fileName = QString::fromStdString(
        CatalogFirmwareFileName(static_cast<std::size_t>(unit_.catalogIndex)));
    const std::string path =
        unit_.api.CurrentDirectory() + unit_.api.PathSeparator() + fileName.toStdString();

    if (!QFileInfo::exists(QString::fromStdString(path))) {
        ShowFitted(panel.lblUpdaeFileStatus, QStringLiteral("No Updated File !"));
        return;
    }
    FirmwareImage& image = unit_.firmwareImage;
    const LoadResult result = LoadFirmwareFile(image, path);
    if (!result.loaded) {
        ShowFitted(panel.lblUpdaeFileStatus, QStringLiteral("No Updated File !"));
        ShowUpdateProblem(QStringLiteral("Cannot use ") + QString::fromStdString(result.error));
        return;
    }
    ShowFitted(panel.lblISPProcStatus, QString());  // a refusal of an earlier try
    image.path = path;
    SetPanelColor(panel.pnlUSBExist, kColorLime);
    unit_.firmwareFileReady = true;
    unit_.programFileReady = true;
    ShowProgramFile(fileName);
    panel.btnSimpleAuto->setEnabled(true);
    // Enter starts the update unless the focus is already somewhere else.
    if (focusWidget() == nullptr) panel.btnSimpleAuto->setFocus();
}

QString TForm1::UpdateQuestion() const {
    const QString question = QString::fromUtf8(kUpdateWarningText);
    if (!unit_.usb.InPropertyMode()) return question;  // a bare chip takes any file
    const auto fileRow = OtherProductOfFirmwareFile(unit_.firmwareImage.path, unit_.catalogIndex);
    if (!fileRow) return question;
    return QString::fromStdString(
               OtherProductFirmwareText(unit_.firmwareImage.path, *fileRow, unit_.catalogIndex) +
               ".\n\n") +
           question;
}

void TForm1::USBLoadFileBitBtnClick(QObject*) {
    ReadProgramFile1();
}

}  // namespace qv
